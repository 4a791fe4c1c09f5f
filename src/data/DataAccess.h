// One ISAM file of learner records (GROUP or USERS) with the key description that the next
// positioning uses: the local role of the data access layer. Every operation returns a Status:
// the engine's error number, the data file's path and the engine's text.
// With a data server, the same file also has its remote role: the server's copy, reached through
// the session's client, is rewritten before the local one.
#pragma once

#include <string>

#include "isam/Isam.h"
#include "platform/Status.h"

namespace data {

// Key kinds: 0 the group file (group number, bytes 4 to 7); 1 the user file (group number,
// bytes 8 to 11, then user number, bytes 4 to 7). Every part a 4-byte INT32, flags 0.
// INT32 parts compare as big-endian while the records hold little-endian numbers, so key order
// is not number order (group 128 sorts before group 1): callers never rely on it.
constexpr int kGroupKey = 0;
constexpr int kUserKey = 1;
// Fills key for kind 0 or 1 and returns true; any other kind leaves it empty and returns false.
bool BuildKey(int kind, isam::KeyDesc& key);

class RemoteClient;

// Why the client's last request failed, about what: a lost or garbled connection fails with
// ENOTCONN or EBADMSG and says what happened on the wire; the server's refusal is the engine's
// number with its text.
platform::Status ServerStatus(const RemoteClient& client, const std::string& what);

// Replaces the record (size bytes) with the key of kind in the server's file remote_name, opened
// by client's session: the record is read by that key, then rewritten.
platform::Status RewriteOnServer(RemoteClient& client, const std::string& remote_name, int kind,
                                 const void* record, int size);

class DataAccess {
  public:
    using OpenFunction = int (*)(const char* name, int mode);

    // open_fn stands in for ISOPEN (tests give one that refuses as a read-only file would).
    explicit DataAccess(OpenFunction open_fn = &isam::ISOPEN) : open_fn_(open_fn) {}
    ~DataAccess();
    DataAccess(const DataAccess&) = delete;
    DataAccess& operator=(const DataAccess&) = delete;

    // Opens the ISAM file whose base path is path without its extension. The path (either
    // form: "DATA\\DEMO\\GB\\USERS" or native) is split into drive, folder, base name and
    // extension; unless <drive><folder>\<base>.dat is an existing regular file, it fails
    // without touching anything. A refusal with EACCES is retried once with 0x100 (no locking,
    // read only) added to the mode. A failure names path as given; Handle() is the engine's
    // handle once opened.
    platform::Status Open(const std::string& path, int mode);
    platform::Status Close();
    platform::Status Flush();
    // Fills the key description for kind 0 or 1; other kinds fail (error 103) and leave it
    // empty.
    platform::Status SelectKey(int kind);
    // ISSTART with the current key description; fails (error 103) when it has no parts.
    platform::Status Start(int length, void* record, int mode);
    platform::Status Read(void* record, int mode);
    // Replaces the record with the same primary key.
    platform::Status Rewrite(const void* record);
    // For the administrator's tools: ISWRITE (a new record) and ISDELETE (by primary key).
    platform::Status Write(const void* record);
    platform::Status Delete(const void* record);

    // The remote role: the data server's client (not owned; nullptr ends the role) and the name
    // the server knows this file by (see RemoteFileName).
    void SetRemote(RemoteClient* client, std::string remote_name);
    RemoteClient* Remote() const { return remote_; }
    const std::string& RemoteName() const { return remote_name_; }
    // Opens the remote name on the server with mode, after the session's sign-on. Fails with
    // ENOTCONN when there is no remote role.
    platform::Status OpenOnServer(int mode);
    // Replaces the record (size bytes) with the key of kind (kGroupKey or kUserKey) on the
    // server first, when there is one, then in the local file; each copy is read by that key and
    // then rewritten. The local copy is written even when the server's write failed, so that
    // the progress is kept here. Returns the server's failure (its error number, the remote
    // name), else the local one (the engine's number, the data file's path); success only when
    // every copy was written.
    platform::Status RewriteByKey(int kind, const void* record, int size);

    int Handle() const { return handle_; }
    int Mode() const { return mode_; }
    const std::string& Drive() const { return drive_; }
    const std::string& Folder() const { return folder_; }
    const std::string& BaseName() const { return base_; }
    // The data file's native path, "<folder>/<base>.dat".
    const std::string& DataPath() const { return data_path_; }
    const isam::KeyDesc& Key() const { return key_; }

  private:
    // The engine's result rc (a handle, 0 or -1) as a Status about the data file.
    platform::Status Outcome(int rc) const;
    // The engine's error (EIO when none) as a Status about the data file.
    platform::Status Fail(int error) const;

    OpenFunction open_fn_;
    int handle_ = -1;
    int mode_ = 0;
    std::string drive_, folder_, base_, data_path_;
    isam::KeyDesc key_{};
    RemoteClient* remote_ = nullptr;
    std::string remote_name_;
};

}  // namespace data
