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

// Reads the record with the key of record (kind 0 or 1) into record; 1 found, 0 not found,
// -1 on an engine error.
int Find(DataAccess& access, int kind, uint8_t* record) {
    if (access.Handle() < 0 || access.SelectKey(kind) != 0) return -1;
    if (access.Start(0, record, isam::EQUAL) != 0)
        return access.LastError() == isam::kNoRecord ? 0 : -1;
    if (access.Read(record, isam::EQUAL) != 0) return -1;
    return 1;
}

}  // namespace

int FindGroup(DataAccess& groups, int group_no, GroupRecord* found) {
    GroupRecord key = GroupTemplate();
    key.group_no = group_no;
    uint8_t b[kGroupRecordSize];
    EncodeGroupRecord(key, b);
    const int rc = Find(groups, kGroupKey, b);
    if (rc == 1 && found) *found = DecodeGroupRecord(b);
    return rc;
}

int FindUser(DataAccess& users, int group_no, int user_no, UserRecord* found) {
    UserRecord key = UserTemplate();
    key.GroupNo = group_no;
    key.UserNo = user_no;
    uint8_t b[kUserRecordSize];
    EncodeUserRecord(key, b);
    const int rc = Find(users, kUserKey, b);
    if (rc == 1 && found) *found = DecodeUserRecord(b);
    return rc;
}

// Reads every record in the order of the selected key, handing each to take.
template <class Take>
static int ReadAll(DataAccess& access, int kind, int reclen, Take&& take) {
    std::vector<uint8_t> rec(size_t(reclen), 0);
    if (access.SelectKey(kind) != 0 || access.Start(0, rec.data(), isam::FIRST) != 0) return -1;
    for (int mode = isam::FIRST;; mode = isam::NEXT) {
        if (access.Read(rec.data(), mode) != 0)
            return access.LastError() == isam::kEndOfFile ? 0 : -1;
        take(rec.data());
    }
}

int ReadAllGroups(DataAccess& groups, std::vector<GroupRecord>& out) {
    out.clear();
    const int rc = ReadAll(groups, kGroupKey, kGroupRecordSize,
                           [&](const uint8_t* b) { out.push_back(DecodeGroupRecord(b)); });
    std::sort(out.begin(), out.end(),
              [](const GroupRecord& a, const GroupRecord& b) { return a.group_no < b.group_no; });
    return rc;
}

int ReadAllUsers(DataAccess& users, std::vector<UserRecord>& out) {
    out.clear();
    const int rc = ReadAll(users, kUserKey, kUserRecordSize,
                           [&](const uint8_t* b) { out.push_back(DecodeUserRecord(b)); });
    std::sort(out.begin(), out.end(), [](const UserRecord& a, const UserRecord& b) {
        return a.GroupNo != b.GroupNo ? a.GroupNo < b.GroupNo : a.UserNo < b.UserNo;
    });
    return rc;
}

platform::Status CarryNewerUsers(const std::string& from_base, const std::string& into_base,
                                 std::vector<UserRecord>& carried) {
    DataAccess from;
    if (from.Open(from_base, isam::OPEN_INPUT) < 0) return {};
    // Local records that cannot be read have nothing to claim.
    std::vector<UserRecord> mine;
    if (ReadAllUsers(from, mine) != 0) return {};
    DataAccess into;
    auto failed = [&] {
        const int error = into.LastError() > 0 ? into.LastError() : EIO;
        const std::string& path = into.DataPath().empty() ? into_base : into.DataPath();
        return platform::Status(error, path, isam::ErrorText(error));
    };
    if (into.Open(into_base, isam::OPEN_INOUT) < 0) return failed();
    for (const UserRecord& record : mine) {
        UserRecord theirs;
        const int found = FindUser(into, record.GroupNo, record.UserNo, &theirs);
        if (found < 0) return failed();
        if (found == 0 || record.StepStart <= theirs.StepStart) continue;
        uint8_t b[kUserRecordSize];
        EncodeUserRecord(record, b);
        if (into.Rewrite(b) != 0) return failed();
        carried.push_back(record);
    }
    if (into.Close() != 0) return failed();
    return {};
}

}  // namespace data
