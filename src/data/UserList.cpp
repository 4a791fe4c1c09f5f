#include "data/UserList.h"

#include <algorithm>
#include <fstream>

#include "data/CoursePaths.h"
#include "data/DataAccess.h"
#include "data/GroupRecord.h"
#include "data/LearnerFiles.h"
#include "data/RecordBytes.h"
#include "data/ScoreFile.h"
#include "isam/Isam.h"
#include "text/Codepage.h"
#include "text/FormatString.h"
#include "text/MessageFile.h"

namespace data {
namespace {

int CompareNoCase(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = static_cast<unsigned char>(text::Cp1252Lower(a[i]));
        const unsigned char y = static_cast<unsigned char>(text::Cp1252Lower(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

platform::Status ListGroups(DataAccess& groups, const std::string& path,
                            std::vector<GroupEntry>& list) {
    list.clear();
    if (platform::Status opened = groups.Open(path, isam::OPEN_INOUT); !opened) return opened;
    // The records read before a failure are listed.
    std::vector<GroupRecord> records;
    const platform::Status read = ReadAllGroups(groups, records);
    for (const GroupRecord& record : records) list.push_back({record.group_no, record.name});
    std::stable_sort(list.begin(), list.end(), [](const GroupEntry& a, const GroupEntry& b) {
        const int c = CompareNoCase(a.name, b.name);
        return c != 0 ? c < 0 : a.number < b.number;
    });
    return read;
}

int StatusLevel(const UserRecord& record, const std::string& root,
                const std::string& users_folder) {
    if (!IsScoreStepCount(record.StepCount)) return -1;
    std::ifstream in(ScorePath(root, users_folder, record.UserNo, record.GroupNo),
                     std::ios::binary);
    uint8_t bounds[8];
    if (!in.read(reinterpret_cast<char*>(bounds), sizeof bounds)) return -1;
    // The score file keeps the bounds of two levels; a level beyond them has none to pass.
    if (record.Level < 1 || record.Level > 2) return record.Level;
    const int32_t bound = LoadLe32(bounds + 4 * (record.Level - 1));
    return record.Step >= bound ? record.Level + 1 : record.Level;
}

UserItem MakeUserItem(const UserRecord& record, const std::string& root,
                      const std::string& users_folder, bool developer, text::MessageFile& common) {
    UserItem item;
    item.user = record.UserNo;
    item.group = record.GroupNo;
    if (developer) {
        item.name = text::FormatString("%s (grp:%d - id:%d)", record.UserName.c_str(),
                                       record.GroupNo, record.UserNo);
    } else {
        item.name = record.UserName;
    }
    if (record.State == kStateFinished) {
        item.status = common.GetText(43);
        item.icon = kIconFinished;
    } else if (record.State != kStateNotStarted) {
        const int level = StatusLevel(record, root, users_folder);
        if (level >= 0) item.status = common.GetText(44, level);
    }
    if (record.MayConfigure != 0) item.marker_icon = kIconMarker;
    if (!record.password.empty()) item.password_icon = kIconPassword;
    return item;
}

platform::Status ListUsers(DataAccess& users, const std::string& root, const std::string& path,
                           int32_t group, bool developer, text::MessageFile& common,
                           std::vector<UserItem>& list) {
    list.clear();
    if (platform::Status opened = users.Open(path, isam::OPEN_INOUT); !opened) return opened;
    const std::string folder = users.Folder();
    std::vector<UserRecord> records;
    const platform::Status read = ReadAllUsers(users, records);
    for (const UserRecord& record : records)
        if (record.GroupNo == group)
            list.push_back(MakeUserItem(record, root, folder, developer, common));
    return read;
}

void SortUserItems(std::vector<UserItem>& items, int column, bool descending) {
    if (column != 3 && column != 4) return;
    std::stable_sort(items.begin(), items.end(), [&](const UserItem& a, const UserItem& b) {
        const int c =
            column == 3 ? CompareNoCase(a.name, b.name) : CompareNoCase(a.status, b.status);
        return descending ? c > 0 : c < 0;
    });
}

UserRecord BlankUserRecord(const UserRecord& record) {
    UserRecord blank = UserTemplate();
    blank.UserNo = record.UserNo;
    blank.GroupNo = record.GroupNo;
    blank.UserName = record.UserName;
    blank.password = record.password;
    blank.MayConfigure = record.MayConfigure;
    return blank;
}

platform::Status ResetUser(DataAccess& users, int32_t group, int32_t user) {
    UserRecord record;
    if (platform::Status found = FindUser(users, group, user, record); !found) return found;
    std::vector<uint8_t> buffer(kUserRecordSize, 0);
    EncodeUserRecord(BlankUserRecord(record), buffer.data());
    return users.Rewrite(buffer.data());
}

}  // namespace data
