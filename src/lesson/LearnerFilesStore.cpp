#include "lesson/LearnerFilesStore.h"

#include <cerrno>

#include "data/LearnerFiles.h"
#include "platform/Path.h"

namespace lesson {
bool LearnerFilesStore::ReadGroup(int group, data::GroupRecord& record) {
    return data::FindGroup(groups_, group, &record) == 1;
}

bool LearnerFilesStore::ReadUser(int group, int user, data::UserRecord& record) {
    return data::FindUser(users_, group, user, &record) == 1;
}

RecordSave LearnerFilesStore::RewriteUser(const data::UserRecord& record) {
    RecordSave save;
    uint8_t bytes[data::kUserRecordSize];
    data::EncodeUserRecord(record, bytes);
    uint8_t found[data::kUserRecordSize];
    // The server's copy first, then the local one; each only where the record can be read.
    if (remote_) {
        data::EncodeUserRecord(record, found);
        save.remote = remote_->SelectKey(data::kUserKey) >= 0 &&
                      remote_->RemoteStart(0, found, data::kUserRecordSize, isam::EQUAL) >= 0 &&
                      remote_->RemoteRead(found, data::kUserRecordSize, isam::EQUAL) >= 0 &&
                      remote_->RemoteRewriteCurrent(bytes, data::kUserRecordSize) >= 0;
    }
    // The local record is read first: the engine rewrites the record it last read.
    const int where = data::FindUser(users_, record.GroupNo, record.UserNo, nullptr);
    if (where == 1 && users_.Rewrite(bytes) == 0) return save;
    save.local = false;
    const std::string file = users_.DataPath().empty() ? UsersFolder() : users_.DataPath();
    save.why = where == 0 ? file + ": the learner is no longer in the file"
                          : users_.ErrorText("%s", file.c_str());
    return save;
}

Hold LearnerFilesStore::HoldLearner(int group, int user, std::string& why) {
    const std::string folder = platform::NativePathIn(root_, UsersFolder());
    switch (lock_.Take(folder, group, user, why)) {
        case data::LearnerLock::kHeld:
            return Hold::kHeld;
        case data::LearnerLock::kBusy:
            return Hold::kBusy;
        default:
            return Hold::kFailed;
    }
}

void LearnerFilesStore::ReleaseLearner() {
    lock_.Release();
    // Ending the connection ends the server's hold; the next session connects afresh.
    if (remote_) remote_->EndSession();
}

// The server's USERS file is named like the local one, its drive replaced by '?'.
std::string LearnerFilesStore::RemoteUsersName() const {
    const std::string& data_path = users_.DataPath();
    return data::RemoteFileName(root_, data_path.substr(0, data_path.size() - 4));
}

Hold LearnerFilesStore::OpenRemote(const std::string& app_name, const data::GroupRecord& group,
                                   const data::UserRecord& user, data::UserRecord& server_record,
                                   std::string& path, int& error) {
    path = RemoteUsersName();
    if (!remote_) {
        error = ENOTCONN;
        return Hold::kFailed;
    }
    uint8_t bytes[data::kUserRecordSize];
    data::EncodeUserRecord(user, bytes);
    if (remote_->SignOn(app_name, group.name, user.UserName) < 0 ||
        remote_->RemoteOpen(path, isam::OPEN_INOUT | isam::LOCKMODE_EXCL) < 0 ||
        remote_->HoldLearner(bytes, data::kUserRecordSize) < 0) {
        error = remote_->LastError();
        return error == isam::kRecordLocked ? Hold::kBusy : Hold::kFailed;
    }
    server_record = data::DecodeUserRecord(bytes);
    return Hold::kHeld;
}

bool LearnerFilesStore::SendFile(const std::string& local_path, const std::string& remote_name) {
    return remote_ &&
           remote_->SendFile(remote_name, platform::NativePathIn(root_, local_path)) >= 0;
}

}  // namespace lesson
