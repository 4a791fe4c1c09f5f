#include "data/LearnerLock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Path.h"

namespace data {

platform::Status LearnerLock::Take(const std::string& folder, int group, int user) {
    Release();
    const std::string path = (folder.empty() ? std::string(".") : folder) + "/" + kLearnerLockFile;
    const int fd =
        ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0) return platform::Status::FromErrno(path);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return {platform::kErrorNotRegularFile, path, "not a regular file"};
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
