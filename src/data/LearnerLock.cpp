#include "data/LearnerLock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Path.h"

namespace data {

platform::Status LearnerLock::Take(const std::string& folder, int group, int user) {
    Release();
    const std::string where = folder.empty() ? std::string(".") : folder;
    const std::string path = where + "/" + kLearnerLockFile;
    // Something other than a lock file in its place holds nobody: named, so the session stops.
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        return {platform::kErrorNotRegularFile, path,
                S_ISLNK(st.st_mode) ? "a link, not the learners' lock file"
                                    : "not a regular file, so no learner can be held"};
    }
    const int fd =
        ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0) {
        const int error = errno;
        // A folder nobody may write to keeps no progress either: no lock is needed there.
        if (error == EROFS ||
            ((error == EACCES || error == EPERM) && ::access(where.c_str(), W_OK) != 0))
            return {kLearnerFolderReadOnly, path, "the learners' folder is read-only"};
        return {error, path};
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return {platform::kErrorNotRegularFile, path,
                "not a regular file, so no learner can be held"};
    }
    // One byte per learner; numbers have three digits in the learners' file names.
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = off_t(group) * 1000 + user;
    lock.l_len = 1;
    if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EAGAIN || error == EACCES)
            return {kLearnerBusy, path, "another session holds this learner"};
        return {error, path};
    }
    fd_ = fd;
    return {};
}

void LearnerLock::Release() {
    if (fd_ >= 0) ::close(fd_);  // closing the description drops its lock
    fd_ = -1;
}

}  // namespace data
