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

long LearnerHolds::HolderIn(const std::string& folder, int group, int user,
                            std::string* peer) const {
    // Few learners are held at once: a look at each is cheap.
    for (const auto& [learner, owner] : by_learner_) {
        const std::string& users = std::get<0>(learner);
        const size_t slash = users.rfind('/');
        if (std::get<1>(learner) != group || std::get<2>(learner) != user) continue;
        if (users.compare(0, slash == std::string::npos ? 0 : slash, folder) != 0 ||
            (slash == std::string::npos ? !folder.empty() : slash != folder.size()))
            continue;
        if (peer) *peer = peers_.at(owner);
        return owner;
    }
    return 0;
}

}  // namespace server
