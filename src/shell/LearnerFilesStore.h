// The learners' records in the course's local GROUP and USERS files.
#pragma once

#include <string>

#include "data/DataAccess.h"
#include "shell/LearnerStore.h"

namespace shell {

class LearnerFilesStore : public LearnerStore {
  public:
    // The open files; the store does not own them.
    LearnerFilesStore(data::DataAccess& groups, data::DataAccess& users)
        : groups_(groups), users_(users) {}

    bool ReadGroup(int group, data::GroupRecord& record) override;
    bool ReadUser(int group, int user, data::UserRecord& record) override;
    bool RewriteUser(const data::UserRecord& record) override;

    bool HasRemote() const override { return false; }
    bool OpenRemote(const std::string&, const data::GroupRecord&, const data::UserRecord&,
                    std::string& path, int& error) override;
    bool SendFile(const std::string&, const std::string&) override { return false; }

    std::string UsersFolder() const override { return users_.Folder(); }
    std::string GroupsFolder() const override { return groups_.Folder(); }

  private:
    data::DataAccess& groups_;
    data::DataAccess& users_;
};

}  // namespace shell
