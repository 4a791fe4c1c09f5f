// Which connection holds which learner: one session per learner across every player of the
// server. Used on the engine thread only.
#pragma once

#include <map>
#include <string>
#include <tuple>

namespace server {

class LearnerHolds {
  public:
    using Learner = std::tuple<std::string, int, int>;  // USERS base path, group, user

    // Holds learner for owner (peer names it in logs); false (nothing changed, the holder's
    // peer in holder) when another owner holds it. An owner holds one learner at most: a new
    // hold replaces its old one.
    bool Take(long owner, const std::string& peer, const Learner& learner,
              std::string* holder = nullptr);
    void Release(long owner);
    // The owner holding learner (its peer in peer), or 0.
    long HolderOf(const Learner& learner, std::string* peer = nullptr) const;
    // The owner holding learner user of group in the USERS file of folder (native), or 0.
    long HolderIn(const std::string& folder, int group, int user,
                  std::string* peer = nullptr) const;

  private:
    std::map<Learner, long> by_learner_;
    std::map<long, Learner> by_owner_;
    std::map<long, std::string> peers_;
};

}  // namespace server
