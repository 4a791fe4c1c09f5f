// The learners' records in the course's local GROUP and USERS files, and on the data server
// when there is one: during a session the USERS file carries its remote role (the server's
// copy), so that one rewrite writes the server's copy, then the local one.
#pragma once

#include <chrono>
#include <string>

#include "data/DataAccess.h"
#include "data/LearnerLock.h"
#include "data/RemoteClient.h"
#include "data/RemoteWorker.h"
#include "lesson/LearnerStore.h"

namespace lesson {

class LearnerFilesStore : public LearnerStore {
  public:
    // The course folder (native), its open files and the server's client (none for local
    // data); the store owns neither.
    LearnerFilesStore(std::string root, data::DataAccess& groups, data::DataAccess& users,
                      data::RemoteClient* remote = nullptr)
        : root_(std::move(root)), groups_(groups), users_(users), remote_(remote) {}

    bool ReadGroup(int group, data::GroupRecord& record) override;
    platform::Status ReadUser(int group, int user, data::UserRecord& record) override;

    // Opens the GROUP and USERS files (native paths) where they are not open yet. A users file
    // that does not open fails the reads from it with the reason; a missing group is the
    // group template's.
    // From here the server is reached through worker, whose thread owns the client: a record
    // is rewritten here first and its server copy follows when the server answers; a session's
    // start and Settle wait for the server at most bound.
    void SetWorker(data::RemoteWorker* worker, std::chrono::milliseconds bound) {
        worker_ = worker;
        bound_ = bound;
    }
    bool Deferred() const override { return worker_ != nullptr; }
    bool Settle(bool wait) override;

    void OpenFiles(const std::string& group_file, const std::string& users_file);
    RecordSave RewriteUser(const data::UserRecord& record) override;

    platform::Status HoldLearner(int group, int user) override;
    void ReleaseLearner() override;

    bool HasRemote() const override { return remote_ != nullptr; }
    platform::Status OpenRemote(const std::string& app_name, const data::GroupRecord& group,
                                const data::UserRecord& user,
                                data::UserRecord& server_record) override;
    bool SendFile(const std::string& local_path, const std::string& remote_name) override;

    std::string UsersFolder() const override { return users_.Folder(); }
    std::string GroupsFolder() const override { return groups_.Folder(); }

  private:
    std::string RemoteUsersName() const;
    platform::Status OpenOnWorker(const std::string& app_name, const data::GroupRecord& group,
                                  const data::UserRecord& user, data::UserRecord& server_record);
    platform::Status LocalCopyHolds(const data::UserRecord& record);

    std::string root_;
    data::DataAccess& groups_;
    data::DataAccess& users_;
    data::RemoteClient* remote_;
    data::LearnerLock lock_;
    platform::Status users_opened_;
    data::RemoteWorker* worker_ = nullptr;
    std::chrono::milliseconds bound_{3000};
    uint64_t failures_seen_ = 0;  // the worker's failed jobs that Settle has accounted for
};

}  // namespace lesson
