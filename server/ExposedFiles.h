// Learners' files that every local account can read: the scrambled passwords in USERS, the
// progress in the score and history files. The server names them at start.
#pragma once

#include <string>
#include <vector>

namespace server {

// The files of the learner folders under root (folders holding a GROUP or USERS data file)
// that others may read: world-readable, in folders that others may pass through from "/". At
// most limit names, in path order; total receives how many there are.
std::vector<std::string> ExposedLearnerFiles(const std::string& root, size_t limit, size_t& total);

}  // namespace server
