#include "shell/LearnerFilesStore.h"

#include <cerrno>

#include "platform/Path.h"

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
    bool written = true;
    // The server's copy first, then the local one; each only where the record can be read.
    if (remote_) {
        data::EncodeUserRecord(record, found);
        written = remote_->SelectKey(data::kUserKey) >= 0 &&
                  remote_->RemoteStart(0, found, data::kUserRecordSize, isam::EQUAL) >= 0 &&
                  remote_->RemoteRead(found, data::kUserRecordSize, isam::EQUAL) >= 0 &&
                  remote_->RemoteRewriteCurrent(bytes, data::kUserRecordSize) >= 0;
    }
    data::EncodeUserRecord(record, found);
    if (!ReadByKey(users_, data::kUserKey, found)) return false;
    return users_.Rewrite(bytes) == 0 && written;
}

// The server's USERS file is named like the local one, its drive replaced by '?'.
std::string LearnerFilesStore::RemoteUsersName() const {
    const std::string& data_path = users_.DataPath();
    return data::RemoteFileName(root_, data_path.substr(0, data_path.size() - 4));
}

bool LearnerFilesStore::OpenRemote(const std::string& app_name, const data::GroupRecord& group,
                                   const data::UserRecord& user, std::string& path, int& error) {
    path = RemoteUsersName();
    if (!remote_) {
        error = ENOTCONN;
        return false;
    }
    if (remote_->SignOn(app_name, group.name, user.UserName) < 0 ||
        remote_->RemoteOpen(path, isam::OPEN_INOUT) < 0) {
        error = remote_->LastError();
        return false;
    }
    return true;
}

bool LearnerFilesStore::SendFile(const std::string& local_path, const std::string& remote_name) {
    return remote_ &&
           remote_->SendFile(remote_name, platform::NativePathIn(root_, local_path)) >= 0;
}

}  // namespace shell
