// What the user list shows, read from the GROUP and USERS files without a window: every group
// of the installation, every user of a group with a status and icons, their order, and the
// blank record that Reset writes over a learner's progress.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/UserRecord.h"
#include "platform/Status.h"

namespace text {
class MessageFile;
}

namespace data {

class DataAccess;

// The user list's icon numbers: the header's learners, a group, a learner, a learner who
// finished the course, a stored password, a marked learner. The windows draw them.
enum UserListIconNumber : int {
    kIconHeader = 3,
    kIconGroup = 24,
    kIconUser = 25,
    kIconFinished = 26,
    kIconPassword = 27,
    kIconMarker = 28,
};

struct GroupEntry {
    int32_t number = 0;
    std::string name;
};

// Opens the group file at path (mode 2) and lists every group in it, sorted by name (ignoring
// case), then number. Key order is not number order (the key's integers compare as big-endian
// while the records hold little-endian numbers), so the whole file is read. Fails when the file
// cannot be opened or read; the groups read before a failure are listed.
platform::Status ListGroups(DataAccess& groups, const std::string& path,
                            std::vector<GroupEntry>& list);

struct UserItem {
    int32_t user = 0;
    int32_t group = 0;
    std::string name;       // the user's name; in developer mode "%s (grp:%d - id:%d)"
    std::string status;     // common text 43, 44 with the level, or empty
    int icon = kIconUser;   // 25, or 26 for a finished course
    int marker_icon = 0;    // 28 when the record's marker is set
    int password_icon = 0;  // 27 when a password is stored
};

// The level the status shows: the current level, plus one when the position reached is at
// least the score file's bound for that level (its first or second 32-bit value). -1 when the
// score file is not read: a step count outside 1 to 1023, or a file that cannot be read. The
// score file lies in users_folder, taken inside root (the course folder).
int StatusLevel(const UserRecord& record, const std::string& root, const std::string& users_folder);

// The list entry of a record: status common text 43 for a finished course, empty for one not
// started, else common text 44 with StatusLevel (empty when it is -1).
UserItem MakeUserItem(const UserRecord& record, const std::string& root,
                      const std::string& users_folder, bool developer, text::MessageFile& common);

// Opens the user file at path (mode 2) and lists an item for every user of group, by number,
// whatever the number (the whole file is read). Fails when the file cannot be opened or read;
// the users read before a failure are listed. root: the course folder, inside which the score
// files are read.
platform::Status ListUsers(DataAccess& users, const std::string& root, const std::string& path,
                           int32_t group, bool developer, text::MessageFile& common,
                           std::vector<UserItem>& list);

// Sorts items by name (column 3) or status (column 4), ignoring case, ascending or descending;
// other columns leave the order as it is.
void SortUserItems(std::vector<UserItem>& items, int column, bool descending);

// The record Reset writes: the template's progress, keeping the user's number, group, name,
// password and marker (who the learner is and what they may do; only progress is wiped).
UserRecord BlankUserRecord(const UserRecord& record);

// Rewrites the record of (group, user) as its blank record. Fails with kNotFound for a learner
// the file does not hold, or with the engine's error.
platform::Status ResetUser(DataAccess& users, int32_t group, int32_t user);

}  // namespace data
