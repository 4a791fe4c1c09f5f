#include "check/FileLimits.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace check {

namespace {

FileLook FromStat(const struct stat& st) {
    FileLook look;
    look.size = static_cast<uint64_t>(st.st_size);
    if (S_ISREG(st.st_mode)) {
        look.kind = FileLook::kRegular;
    } else if (S_ISDIR(st.st_mode)) {
        look.kind = FileLook::kFolder;
        look.what = "a folder";
    } else {
        look.kind = FileLook::kOther;
        look.what = S_ISFIFO(st.st_mode)                         ? "a FIFO"
                    : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                    : S_ISSOCK(st.st_mode)                       ? "a socket"
                                                                 : "not a regular file";
    }
    return look;
}

}  // namespace

FileLook LookAt(const std::string& native_path) {
    struct stat st;
    if (::stat(native_path.c_str(), &st) != 0) return {};
    return FromStat(st);
}

bool ReadBounded(const std::string& native_path, uint64_t cap, std::string& out, std::string& why) {
    out.clear();
    // Without blocking: a FIFO put in place of the file is refused, not waited on.
    const int fd = ::open(native_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        why = std::strerror(errno);
        ::close(fd);
        return false;
    }
    const FileLook look = FromStat(st);
    if (look.kind != FileLook::kRegular || look.size > cap) {
        why = look.kind != FileLook::kRegular
                  ? "it is " + look.what
                  : "it is larger than " + std::to_string(cap) + " bytes";
        ::close(fd);
        return false;
    }
    out.resize(static_cast<size_t>(look.size));
    size_t have = 0;
    // A file that grew since it was measured is read up to its measured size only.
    while (have < out.size()) {
        const ssize_t n = ::read(fd, out.data() + have, out.size() - have);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            why = std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        have += static_cast<size_t>(n);
    }
    out.resize(have);
    ::close(fd);
    return true;
}

}  // namespace check
