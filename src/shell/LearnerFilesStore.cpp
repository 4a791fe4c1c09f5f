#include "shell/LearnerFilesStore.h"

#include <cerrno>

#include "data/LearnerFiles.h"
#include "platform/Path.h"

namespace shell {
bool LearnerFilesStore::ReadGroup(int group, data::GroupRecord& record) {
    return data::FindGroup(groups_, group, &record) == 1;
}

bool LearnerFilesStore::ReadUser(int group, int user, data::UserRecord& record) {
    return data::FindUser(users_, group, user, &record) == 1;
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
    // The local record is read first: the engine rewrites the record it last read.
    if (data::FindUser(users_, record.GroupNo, record.UserNo, nullptr) != 1) return false;
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
