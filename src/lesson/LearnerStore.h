// The learner's group and user records as the lesson flow reads and rewrites them, locally or
// on a data server, the hold that keeps one session per learner, and the sending of the
// learner's files to the server.
#pragma once

#include <string>

#include "data/GroupRecord.h"
#include "data/UserRecord.h"
#include "platform/Status.h"

namespace lesson {

// How a rewrite of the learner's record went: the local copy, and the server's (success
// without a server).
struct RecordSave {
    platform::Status local;
    platform::Status server;
};

class LearnerStore {
  public:
    virtual ~LearnerStore() = default;
    // Equal-key reads; false when the record cannot be read.
    virtual bool ReadGroup(int group, data::GroupRecord& record) = 0;
    // Fails with data::kNotFound when the users file does not hold the learner, else with why
    // the file could not be opened or read.
    virtual platform::Status ReadUser(int group, int user, data::UserRecord& record) = 0;
    // Reads the record with the same key and rewrites it with record: on the server first
    // when there is one, then locally. A record that cannot be read is not written.
    virtual RecordSave RewriteUser(const data::UserRecord& record) = 0;

    // Holds the learner for this session against every other session on this computer (the
    // hold ends with the process at the latest). Fails with data::kLearnerBusy when another
    // session holds them.
    virtual platform::Status HoldLearner(int group, int user) = 0;
    // Ends the hold, here and on the server.
    virtual void ReleaseLearner() = 0;

    virtual bool HasRemote() const = 0;
    // Signs on to the server, opens its USERS file and holds the learner there; server_record
    // receives the server's copy of the learner's record. Fails about the server's USERS file:
    // with data::kLearnerBusy when another player holds the learner, ENOTCONN when the server
    // does not answer, else with the server's error.
    virtual platform::Status OpenRemote(const std::string& app_name, const data::GroupRecord& group,
                                        const data::UserRecord& user,
                                        data::UserRecord& server_record) = 0;
    // Sends a local file to the server under remote_name.
    virtual bool SendFile(const std::string& local_path, const std::string& remote_name) = 0;
    // Whether the server's part of a rewrite or a sending follows later (off the window's
    // thread): RewriteUser's server status and SendFile's result then tell how the earlier
    // requests went, and Settle how the rest did.
    virtual bool Deferred() const { return false; }
    // Waits (wait) within the store's bound for the requests handed to the server; false when
    // one of them failed since the last Settle, or some are still waiting.
    virtual bool Settle(bool /*wait*/) { return true; }

    // Folders, without drive, of the opened USERS and GROUP files: beside them lie the score
    // and history files.
    virtual std::string UsersFolder() const = 0;
    virtual std::string GroupsFolder() const = 0;
};

}  // namespace lesson
