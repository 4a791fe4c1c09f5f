#include "LearnerHolds.h"

namespace server {

bool LearnerHolds::Take(long owner, const std::string& peer, const Learner& learner,
                        std::string* holder) {
    const long current = HolderOf(learner);
    if (current != 0 && current != owner) {
        if (holder) *holder = peers_[current];
        return false;
    }
    Release(owner);
    by_learner_[learner] = owner;
    by_owner_[owner] = learner;
    peers_[owner] = peer;
    return true;
}

void LearnerHolds::Release(long owner) {
    const auto it = by_owner_.find(owner);
    if (it == by_owner_.end()) return;
    by_learner_.erase(it->second);
    by_owner_.erase(it);
    peers_.erase(owner);
}

long LearnerHolds::HolderOf(const Learner& learner, std::string* peer) const {
    const auto it = by_learner_.find(learner);
    if (it == by_learner_.end()) return 0;
    if (peer) *peer = peers_.at(it->second);
    return it->second;
}

}  // namespace server
