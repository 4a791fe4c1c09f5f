#include "check/MediaHeaders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "check/FileLimits.h"
#include "platform/LittleEndian.h"
#include "windows/WavInfo.h"

namespace check {

namespace {

constexpr size_t kBitmapHeader = 26;  // file header (14) and the info header up to the height

// The first size bytes of a regular file; a FIFO or device is not waited on.
bool ReadStart(const std::string& path, unsigned char* out, size_t size) {
    if (LookAt(path).kind != FileLook::kRegular) return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool whole = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    size_t have = 0;
    while (whole && have < size) {
        const ssize_t n = ::read(fd, out + have, size - have);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        have += static_cast<size_t>(n);
    }
    ::close(fd);
    return whole && have == size;
}

}  // namespace

bool BitmapSize(const std::string& native_path, int& width, int& height) {
    unsigned char b[kBitmapHeader];
    if (!ReadStart(native_path, b, sizeof b) || b[0] != 'B' || b[1] != 'M') return false;
    width = platform::LoadLeI32(b + 18);
    height = std::abs(platform::LoadLeI32(b + 22));
    return width > 0 && height > 0;
}

std::string MediaProblem(const std::string& native_path, Media kind) {
    switch (kind) {
        case Media::kPicture: {
            int width = 0, height = 0;
            return BitmapSize(native_path, width, height) ? "" : "not a BMP picture";
        }
        case Media::kSound: {
            if (LookAt(native_path).kind != FileLook::kRegular) return "not a WAV sound";
            windows::WavInfo info;
            return windows::ReadWavInfo(native_path, info) ? "" : "not a WAV sound";
        }
        case Media::kClip: {
            unsigned char b[12];
            const bool riff = ReadStart(native_path, b, sizeof b) && b[0] == 'R' && b[1] == 'I' &&
                              b[2] == 'F' && b[3] == 'F' && b[8] == 'A' && b[9] == 'V' &&
                              b[10] == 'I';
            return riff ? "" : "not an AVI clip";
        }
    }
    return {};
}

}  // namespace check
