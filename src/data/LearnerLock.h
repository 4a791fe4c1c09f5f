// One session per learner on a computer: a write lock on one byte of SESSION.LCK in the
// learners' folder for each learner, taken on an open file description so that the kernel
// drops it when the process ends, however it ends, and so that two sessions of one process
// exclude each other too.
#pragma once

#include <cerrno>
#include <string>

#include "platform/Status.h"

namespace data {

class LearnerLock {
  public:
    LearnerLock() = default;
    ~LearnerLock() { Release(); }
    LearnerLock(const LearnerLock&) = delete;
    LearnerLock& operator=(const LearnerLock&) = delete;

    // Holds learner user of group in folder (native); a hold already taken is released first.
    // Fails with kLearnerBusy when another session holds that learner, with
    // kLearnerFolderReadOnly when the folder takes no lock file (nor any progress), else with
    // why the lock file cannot be made or locked: something other than a regular file in its
    // place (a FIFO, a link) fails with platform::kErrorNotRegularFile.
    platform::Status Take(const std::string& folder, int group, int user);
    void Release();
    bool Held() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

// The code of a hold refused because another session holds the learner.
inline constexpr int kLearnerBusy = EBUSY;
// The code of a hold that cannot be taken because the learners' folder is read-only: a session
// there saves nothing, so it may run without one. Any other failure stops the session.
inline constexpr int kLearnerFolderReadOnly = EROFS;

// The name of the lock file beside the learners' records.
inline constexpr const char* kLearnerLockFile = "SESSION.LCK";

}  // namespace data
