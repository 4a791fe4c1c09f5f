// Creation of a course's empty GROUP and USERS files with their keys (kinds 0 and 1).
#pragma once

#include <string>
#include <vector>

#include "data/GroupRecord.h"
#include "data/UserRecord.h"
#include "isam/Isam.h"
#include "platform/Status.h"

namespace data {

// Builds an empty ISAM file at base_path (native, without extension): 96-byte group records
// keyed by kind 0, or 148-byte user records keyed by kind 1. Existing files are never
// replaced: the engine refuses with EEXIST. Fails with the engine's error number and text.
platform::Status BuildGroupFile(const std::string& base_path);
platform::Status BuildUsersFile(const std::string& base_path);

class DataAccess;

// What FindGroup and FindUser fail with when the file holds no such record (the engine's
// "record not found"); any other failure is another of the engine's numbers.
constexpr int kNotFound = isam::kNoRecord;

// The group, or the user of a group, with these numbers, read by its key into found (the file
// is then positioned on it). Fails with kNotFound when the file does not hold it.
platform::Status FindGroup(DataAccess& groups, int group_no, GroupRecord& found);
platform::Status FindUser(DataAccess& users, int group_no, int user_no, UserRecord& found);

// Every record of an open GROUP or USERS file, sorted by number (group, then user). Key order
// is not number order, so the whole file is read. Fails with the engine's error.
platform::Status ReadAllGroups(DataAccess& groups, std::vector<GroupRecord>& out);
platform::Status ReadAllUsers(DataAccess& users, std::vector<UserRecord>& out);

// Writes into the USERS file at into_base (native, without extension) every record of the
// USERS file at from_base whose learner is in both and whose StepStart (the start of the last
// step played) is later there: the newer progress of each learner wins. The records carried
// over are appended to carried. Fails with the engine's error number and into_base's data file
// (a from_base file that is missing or cannot be read carries nothing and is no error).
platform::Status CarryNewerUsers(const std::string& from_base, const std::string& into_base,
                                 std::vector<UserRecord>& carried);

}  // namespace data
