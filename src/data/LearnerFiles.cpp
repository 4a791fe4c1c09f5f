#include "data/LearnerFiles.h"

#include <algorithm>
#include <cerrno>

#include "data/DataAccess.h"
#include "data/GroupRecord.h"
#include "data/UserRecord.h"
#include "isam/Isam.h"

namespace data {

static platform::Status Build(const std::string& base_path, int reclen, int kind) {
    isam::KeyDesc key;
    BuildKey(kind, key);
    const int h = isam::ISBUILD(base_path.c_str(), reclen, key, isam::OPEN_INOUT);
    if (h < 0 || isam::ISCLOSE(h) < 0) {
        const int error = isam::last_error;
        return {error, base_path, isam::ErrorText(error)};
    }
    return {};
}

platform::Status BuildGroupFile(const std::string& base_path) {
    return Build(base_path, kGroupRecordSize, kGroupKey);
}

platform::Status BuildUsersFile(const std::string& base_path) {
    return Build(base_path, kUserRecordSize, kUserKey);
}

namespace {

// Reads the record with the key of record (kind 0 or 1) into record.
platform::Status Find(DataAccess& access, int kind, uint8_t* record) {
    if (access.Handle() < 0)
        return {isam::kNotOpen, access.DataPath(), isam::ErrorText(isam::kNotOpen)};
    if (platform::Status s = access.SelectKey(kind); !s) return s;
    if (platform::Status s = access.Start(0, record, isam::EQUAL); !s) return s;
    return access.Read(record, isam::EQUAL);
}

// Reads every record in the order of the selected key, handing each to take.
template <class Take>
platform::Status ReadAll(DataAccess& access, int kind, int reclen, Take&& take) {
    std::vector<uint8_t> rec(size_t(reclen), 0);
    if (platform::Status s = access.SelectKey(kind); !s) return s;
    if (platform::Status s = access.Start(0, rec.data(), isam::FIRST); !s) return s;
    for (int mode = isam::FIRST;; mode = isam::NEXT) {
        if (platform::Status s = access.Read(rec.data(), mode); !s)
            return s.code() == isam::kEndOfFile ? platform::Status() : s;
        take(rec.data());
    }
}

}  // namespace

platform::Status FindGroup(DataAccess& groups, int group_no, GroupRecord& found) {
    GroupRecord key = GroupTemplate();
    key.group_no = group_no;
    uint8_t b[kGroupRecordSize];
    EncodeGroupRecord(key, b);
    platform::Status s = Find(groups, kGroupKey, b);
    if (s) found = DecodeGroupRecord(b);
    return s;
}

platform::Status FindUser(DataAccess& users, int group_no, int user_no, UserRecord& found) {
    UserRecord key = UserTemplate();
    key.GroupNo = group_no;
    key.UserNo = user_no;
    uint8_t b[kUserRecordSize];
    EncodeUserRecord(key, b);
    platform::Status s = Find(users, kUserKey, b);
    if (s) found = DecodeUserRecord(b);
    return s;
}

platform::Status ReadAllGroups(DataAccess& groups, std::vector<GroupRecord>& out) {
    out.clear();
    platform::Status s = ReadAll(groups, kGroupKey, kGroupRecordSize,
                                 [&](const uint8_t* b) { out.push_back(DecodeGroupRecord(b)); });
    std::sort(out.begin(), out.end(),
              [](const GroupRecord& a, const GroupRecord& b) { return a.group_no < b.group_no; });
    return s;
}

platform::Status ReadAllUsers(DataAccess& users, std::vector<UserRecord>& out) {
    out.clear();
    platform::Status s = ReadAll(users, kUserKey, kUserRecordSize,
                                 [&](const uint8_t* b) { out.push_back(DecodeUserRecord(b)); });
    std::sort(out.begin(), out.end(), [](const UserRecord& a, const UserRecord& b) {
        return a.GroupNo != b.GroupNo ? a.GroupNo < b.GroupNo : a.UserNo < b.UserNo;
    });
    return s;
}

platform::Status CarryNewerUsers(const std::string& from_base, const std::string& into_base,
                                 std::vector<UserRecord>& carried) {
    DataAccess from;
    if (!from.Open(from_base, isam::OPEN_INPUT)) return {};
    // Local records that cannot be read have nothing to claim.
    std::vector<UserRecord> mine;
    if (!ReadAllUsers(from, mine)) return {};
    DataAccess into;
    if (platform::Status opened = into.Open(into_base, isam::OPEN_INOUT); !opened) return opened;
    for (const UserRecord& record : mine) {
        UserRecord theirs;
        if (platform::Status found = FindUser(into, record.GroupNo, record.UserNo, theirs);
            !found) {
            if (found.code() == kNotFound) continue;
            return found;
        }
        if (record.StepStart <= theirs.StepStart) continue;
        uint8_t b[kUserRecordSize];
        EncodeUserRecord(record, b);
        if (platform::Status rewritten = into.Rewrite(b); !rewritten) return rewritten;
        carried.push_back(record);
    }
    return into.Close();
}

}  // namespace data
