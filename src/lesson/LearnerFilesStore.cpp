#include "lesson/LearnerFilesStore.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "data/LearnerFiles.h"
#include "platform/Path.h"

namespace lesson {
bool LearnerFilesStore::ReadGroup(int group, data::GroupRecord& record) {
    return data::FindGroup(groups_, group, record).ok();
}

platform::Status LearnerFilesStore::ReadUser(int group, int user, data::UserRecord& record) {
    if (users_.Handle() < 0 && !users_opened_.ok()) return users_opened_;
    return data::FindUser(users_, group, user, record);
}

void LearnerFilesStore::OpenFiles(const std::string& group_file, const std::string& users_file) {
    if (groups_.Handle() < 0) (void)groups_.Open(group_file, isam::OPEN_INOUT);
    if (users_.Handle() < 0) users_opened_ = users_.Open(users_file, isam::OPEN_INOUT);
}

RecordSave LearnerFilesStore::RewriteUser(const data::UserRecord& record) {
    uint8_t bytes[data::kUserRecordSize];
    data::EncodeUserRecord(record, bytes);
    if (worker_) {
        // Here first; the server's copy follows on the worker's thread, in order.
        const platform::Status local = users_.RewriteByKey(data::kUserKey, bytes, sizeof bytes);
        if (!local.ok()) return {local, {}};
        const platform::Status earlier = worker_->LastStatus();
        worker_->Post(
            [name = RemoteUsersName(),
             copy = std::vector<uint8_t>(bytes, bytes + sizeof bytes)](data::RemoteClient& client) {
                return data::RewriteOnServer(client, name, data::kUserKey, copy.data(),
                                             int(copy.size()));
            });
        return {local, earlier};
    }
    // The users file carries the server's copy when a session opened it there (OpenRemote).
    const platform::Status status = users_.RewriteByKey(data::kUserKey, bytes, sizeof bytes);
    if (status.ok()) return {};
    // A failure about the data file is the local copy's, after the server took the record.
    if (!users_.Remote() || status.what() == users_.DataPath()) return {status, {}};
    // The server's failure hides how the local copy went: it is read back.
    return {LocalCopyHolds(record), status};
}

// Whether the local file holds record as it is: success, or what is wrong with the local copy.
platform::Status LearnerFilesStore::LocalCopyHolds(const data::UserRecord& record) {
    data::UserRecord stored;
    const platform::Status found = data::FindUser(users_, record.GroupNo, record.UserNo, stored);
    if (!found.ok()) return found;
    uint8_t want[data::kUserRecordSize], have[data::kUserRecordSize];
    data::EncodeUserRecord(record, want);
    data::EncodeUserRecord(stored, have);
    if (std::memcmp(want, have, sizeof want) == 0) return {};
    return {EIO, users_.DataPath(), "the learner's record was not written"};
}

platform::Status LearnerFilesStore::HoldLearner(int group, int user) {
    return lock_.Take(platform::NativePathIn(root_, UsersFolder()), group, user);
}

void LearnerFilesStore::ReleaseLearner() {
    lock_.Release();
    if (worker_) {
        worker_->Post([](data::RemoteClient& client) {
            client.EndSession();
            return platform::Status();
        });
        return;
    }
    // Ending the connection ends the server's hold; the next session connects afresh and gives
    // the users file its remote role again.
    if (remote_) {
        remote_->EndSession();
        users_.SetRemote(nullptr, {});
    }
}

// The server's USERS file is named like the local one, its drive replaced by '?'.
std::string LearnerFilesStore::RemoteUsersName() const {
    const std::string& data_path = users_.DataPath();
    return data::RemoteFileName(root_, data_path.substr(0, data_path.size() - 4));
}

platform::Status LearnerFilesStore::OpenRemote(const std::string& app_name,
                                               const data::GroupRecord& group,
                                               const data::UserRecord& user,
                                               data::UserRecord& server_record) {
    const std::string path = RemoteUsersName();
    if (!remote_) return {ENOTCONN, path, "no data server"};
    if (worker_) return OpenOnWorker(app_name, group, user, server_record);
    // From here the users file rewrites the learner's record on the server first.
    users_.SetRemote(remote_, path);
    uint8_t bytes[data::kUserRecordSize];
    data::EncodeUserRecord(user, bytes);
    if (remote_->SignOn(app_name, group.name, user.UserName) < 0 ||
        !users_.OpenOnServer(isam::OPEN_INOUT | isam::LOCKMODE_EXCL).ok() ||
        remote_->HoldLearner(bytes, data::kUserRecordSize) < 0) {
        if (remote_->LastError() == isam::kRecordLocked)
            return {data::kLearnerBusy, path, "another player holds this learner"};
        return data::ServerStatus(*remote_, path);
    }
    server_record = data::DecodeUserRecord(bytes);
    return {};
}

// The sign-on, the open and the hold as one job, waited for within the bound; a server that does
// not answer in time is one that cannot be reached (the job ends on the worker later).
platform::Status LearnerFilesStore::OpenOnWorker(const std::string& app_name,
                                                 const data::GroupRecord& group,
                                                 const data::UserRecord& user,
                                                 data::UserRecord& server_record) {
    const std::string path = RemoteUsersName();
    auto bytes = std::make_shared<std::vector<uint8_t>>(data::kUserRecordSize);
    data::EncodeUserRecord(user, bytes->data());
    const std::optional<platform::Status> opened = worker_->Call(
        [path, bytes, app = app_name, group_name = std::string(group.name),
         user_name = std::string(user.UserName)](data::RemoteClient& client) -> platform::Status {
            if (client.SignOn(app, group_name, user_name) < 0 ||
                client.RemoteOpen(path, isam::OPEN_INOUT | isam::LOCKMODE_EXCL) < 0 ||
                client.HoldLearner(bytes->data(), data::kUserRecordSize) < 0) {
                if (client.LastError() == isam::kRecordLocked)
                    return {data::kLearnerBusy, path, "another player holds this learner"};
                return data::ServerStatus(client, path);
            }
            return {};
        },
        bound_);
    if (!opened)
        return {ENOTCONN, path, "no answer within " + std::to_string(bound_.count()) + " ms"};
    if (!opened->ok()) return *opened;
    failures_seen_ = worker_->Failures();
    server_record = data::DecodeUserRecord(bytes->data());
    return {};
}

bool LearnerFilesStore::Settle(bool wait) {
    if (!worker_) return true;
    const bool drained = wait ? worker_->Drain(bound_) : worker_->Pending() == 0;
    const uint64_t failures = worker_->Failures();
    const bool kept = (drained || !wait) && failures == failures_seen_;
    failures_seen_ = failures;
    return kept;
}

bool LearnerFilesStore::SendFile(const std::string& local_path, const std::string& remote_name) {
    if (!remote_) return false;
    const std::string native = platform::NativePathIn(root_, local_path);
    // An empty file (a history before the first answer) holds nothing the server lacks.
    std::error_code ec;
    if (std::filesystem::is_regular_file(native, ec) &&
        std::filesystem::file_size(native, ec) == 0 && !ec)
        return true;
    if (worker_) {
        const bool earlier = worker_->LastStatus().ok();
        worker_->Post([remote_name, native](data::RemoteClient& client) -> platform::Status {
            if (client.SendFile(remote_name, native) >= 0) return {};
            return data::ServerStatus(client, remote_name);
        });
        return earlier;
    }
    return remote_->SendFile(remote_name, native) >= 0;
}

}  // namespace lesson
