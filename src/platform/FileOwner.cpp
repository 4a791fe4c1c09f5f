#include "platform/FileOwner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

bool ShareOwner(int fd, const std::string& like) {
    if (::geteuid() != 0) return true;
    struct stat model, own;
    if (::stat(like.c_str(), &model) != 0) return errno == ENOENT;  // nothing to match
    if (::fstat(fd, &own) != 0) return false;
    if (model.st_uid == 0) return true;  // root's own folder: the usual owner and modes stand
    if ((own.st_uid != model.st_uid || own.st_gid != model.st_gid) &&
        ::fchown(fd, model.st_uid, model.st_gid) != 0)
        return false;
    mode_t mode;
    if (S_ISREG(model.st_mode))
        mode = model.st_mode & 0777;
    else if (S_ISDIR(own.st_mode))
        mode = (model.st_mode & 02770) | 0700;
    else
        mode = own.st_mode & 0770;
    return (own.st_mode & 07777) == mode || ::fchmod(fd, mode) == 0;
}

bool ShareOwner(const std::string& path, const std::string& like) {
    if (::geteuid() != 0) return true;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ShareOwner(fd, like);
    const int error = errno;
    ::close(fd);
    errno = error;
    return ok;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace platform
