#include "shell/LearnerFilesStore.h"

#include <cerrno>

namespace shell {
namespace {

// An equal-key read of the record whose key fields bytes holds.
bool ReadByKey(data::DataAccess& file, int kind, uint8_t* bytes) {
    return file.Handle() >= 0 && file.SelectKey(kind) == 0 &&
           file.Start(0, bytes, isam::EQUAL) == 0 && file.Read(bytes, isam::EQUAL) == 0;
}

}  // namespace

bool LearnerFilesStore::ReadGroup(int group, data::GroupRecord& record) {
    data::GroupRecord key = data::GroupTemplate();
    key.group_no = group;
    uint8_t bytes[data::kGroupRecordSize];
    data::EncodeGroupRecord(key, bytes);
    if (!ReadByKey(groups_, data::kGroupKey, bytes)) return false;
    record = data::DecodeGroupRecord(bytes);
    return true;
}

bool LearnerFilesStore::ReadUser(int group, int user, data::UserRecord& record) {
    data::UserRecord key = data::UserTemplate();
    key.GroupNo = group;
    key.UserNo = user;
    uint8_t bytes[data::kUserRecordSize];
    data::EncodeUserRecord(key, bytes);
    if (!ReadByKey(users_, data::kUserKey, bytes)) return false;
    record = data::DecodeUserRecord(bytes);
    return true;
}

bool LearnerFilesStore::RewriteUser(const data::UserRecord& record) {
    uint8_t bytes[data::kUserRecordSize];
    data::EncodeUserRecord(record, bytes);
    uint8_t found[data::kUserRecordSize];
    data::EncodeUserRecord(record, found);
    if (!ReadByKey(users_, data::kUserKey, found)) return false;
    return users_.Rewrite(bytes) == 0;
}

bool LearnerFilesStore::OpenRemote(const std::string&, const data::GroupRecord&,
                                   const data::UserRecord&, std::string& path, int& error) {
    path = users_.DataPath();
    error = ENOTCONN;
    return false;
}

}  // namespace shell
