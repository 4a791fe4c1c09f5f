#include "platform/ReadFile.h"

#include "platform/Path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform {

int ReadRegularFile(const std::string& path, std::string& out) {
    // Opened without blocking, so a FIFO is refused instead of waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return S_ISDIR(st.st_mode) ? EISDIR : kErrorNotRegularFile;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    out.clear();
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(fd);
            return error;
        }
        out.append(buf, size_t(n));
    }
    ::close(fd);
    return 0;
}

bool ReadWholeFile(const std::string& path, std::string& out, std::string& why) {
    const int error = ReadRegularFile(path, out);
    if (error == 0) return true;
    why = error == EISDIR                 ? "it is a folder, not a file"
          : error == kErrorNotRegularFile ? "it is not a regular file"
                                          : std::strerror(error);
    return false;
}

}  // namespace platform
