#include "data/LearnerLock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace data {

LearnerLock::Result LearnerLock::Take(const std::string& folder, int group, int user,
                                      std::string& why) {
    Release();
    const std::string path = (folder.empty() ? std::string(".") : folder) + "/" + kLearnerLockFile;
    const int fd =
        ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0) {
        why = path + ": " + std::strerror(errno);
        return kFailed;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        why = path + ": not a regular file";
        return kFailed;
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
        if (error == EAGAIN || error == EACCES) return kBusy;
        why = path + ": " + std::strerror(error);
        return kFailed;
    }
    fd_ = fd;
    return kHeld;
}

void LearnerLock::Release() {
    if (fd_ >= 0) ::close(fd_);  // closing the description drops its lock
    fd_ = -1;
}

}  // namespace data
