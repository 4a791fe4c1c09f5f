// The learner's group and user records as the lesson flow reads and rewrites them, locally or
// on a data server, and the sending of the learner's files to the server.
#pragma once

#include <string>

#include "data/GroupRecord.h"
#include "data/UserRecord.h"

namespace shell {

class LearnerStore {
  public:
    virtual ~LearnerStore() = default;
    // Equal-key reads; false when the record cannot be read.
    virtual bool ReadGroup(int group, data::GroupRecord& record) = 0;
    virtual bool ReadUser(int group, int user, data::UserRecord& record) = 0;
    // Reads the record with the same key and rewrites it with record: on the server first
    // when there is one, then locally. A record that cannot be read is not written.
    virtual bool RewriteUser(const data::UserRecord& record) = 0;

    virtual bool HasRemote() const = 0;
    // Signs on to the server and opens its USERS file. On failure, the path and the error code
    // to report.
    virtual bool OpenRemote(const std::string& app_name, const data::GroupRecord& group,
                            const data::UserRecord& user, std::string& path, int& error) = 0;
    // Sends a local file to the server under remote_name.
    virtual bool SendFile(const std::string& local_path, const std::string& remote_name) = 0;

    // Folders, without drive, of the opened USERS and GROUP files: beside them lie the score
    // and history files.
    virtual std::string UsersFolder() const = 0;
    virtual std::string GroupsFolder() const = 0;
};

}  // namespace shell
