// One session per learner on a computer: a write lock on one byte of SESSION.LCK in the
// learners' folder for each learner, taken on an open file description so that the kernel
// drops it when the process ends, however it ends, and so that two sessions of one process
// exclude each other too.
#pragma once

#include <string>

namespace data {

class LearnerLock {
  public:
    enum Result { kHeld, kBusy, kFailed };

    LearnerLock() = default;
    ~LearnerLock() { Release(); }
    LearnerLock(const LearnerLock&) = delete;
    LearnerLock& operator=(const LearnerLock&) = delete;

    // Holds learner user of group in folder (native); a hold already taken is released first.
    // kBusy when another session holds that learner; kFailed (the reason in why) when the lock
    // file cannot be made or locked.
    Result Take(const std::string& folder, int group, int user, std::string& why);
    void Release();
    bool Held() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

// The name of the lock file beside the learners' records.
inline constexpr const char* kLearnerLockFile = "SESSION.LCK";

}  // namespace data
