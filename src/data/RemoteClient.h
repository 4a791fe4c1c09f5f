// The remote role of the data access layer: a client of the data server. Every exchange is one
// 1644-byte request record out and the matching record back; every wait has a deadline.
// A closed connection is reconnected once (sign-on, open and the learner's hold repeated, then
// the request sent again); when that fails, or after three time-outs in a row, the request fails
// with error -2. A later request tries again once the retry interval has passed, so a server
// that comes back is used again without a restart.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "data/RequestRecord.h"

namespace data {

class RemoteClient {
  public:
    RemoteClient();
    ~RemoteClient();
    RemoteClient(const RemoteClient&) = delete;
    RemoteClient& operator=(const RemoteClient&) = delete;

    // Sets the server and the reply time-out (ms); not yet connected; the counter starts at 0.
    void CreateClient(const std::string& address, int port, int timeout_ms);
    // Connects unless connected (the connection attempt is bounded by the time-out); a failure
    // is kept in LastFailure. Returns whether the client is connected.
    bool Connect();
    void Disconnect();
    bool Connected() const;

    // Code -1 with the three texts in 21-byte fields.
    int SignOn(const std::string& app, const std::string& group, const std::string& user);
    int RemoteOpen(const std::string& name, int mode);
    // The reply's data copied into record (size bytes).
    int RemoteRead(void* record, int size, int mode);
    int RemoteRewriteCurrent(const void* record, int size);
    // Sends the current key description (SelectKey).
    int RemoteStart(int length, const void* record, int size, int mode);
    int SelectKey(int kind);
    // Fetches remote_name into local_path (native), asking block after block until the server
    // answers an empty one. The bytes go to a temporary file renamed into place only when the
    // transfer ended so: a lost connection, a time-out, a refusal or a write error leaves the
    // old file as it was.
    int GetFile(const std::string& local_path, const std::string& remote_name);
    // Sends local_path (native) as remote_name in 1024-byte blocks; -1 for an empty file.
    int SendFile(const std::string& remote_name, const std::string& local_path);
    // Sends the request record with code and waits for its reply. Returns the result field.
    int Transact(int code);

    // Reads the learner's user record (148 bytes, its key filled) on the server and holds the
    // learner there for this connection: another player's hold is refused with error 107. The
    // record read replaces record. The hold is repeated after a reconnection.
    int HoldLearner(void* record, int size);
    // The session is over: forgets the sign-on, the open and the hold, and disconnects, which
    // releases the hold on the server. The next request connects afresh.
    void EndSession();

    // Trace of every request to path (appended, heading first); false when it cannot open.
    bool AttachTrace(const std::string& path);
    // Time-outs in a row that mean the server is gone (3).
    void SetTimeoutLimit(int n) { timeout_limit_ = n; }
    // Called while a wait lasts longer than a moment: with true every tenth of a second, then
    // once with false when it ends. The player shows the wait and repaints there.
    void SetWaitHandler(std::function<void(bool waiting)> handler) {
        wait_handler_ = std::move(handler);
    }
    // Gives up the wait in progress and every later one (any thread may call it): the request
    // fails as with a silent server. For the owner of a worker thread that is shutting down.
    void Cancel() { cancelled_.store(true); }
    // How long after a failed connection no new attempt is made (ms; 30000).
    void SetRetryInterval(int ms) { retry_interval_ms_ = ms; }

    RequestRecord& Record() { return record_; }
    int LastError() const { return record_.error; }
    int RequestCounter() const { return counter_; }
    // Why the last connection attempt or exchange failed, for logs.
    const std::string& LastFailure() const { return failure_; }

  private:
    struct Net;
    enum class Outcome { kReply, kClosed, kGone };
    Outcome Exchange();
    bool Reconnect();
    void PutOffRetry();
    std::chrono::steady_clock::time_point Deadline() const;
    void Wait(const bool& done, std::chrono::steady_clock::time_point deadline);
    void EndWait();
    void Trace(const char* direction, long bytes, const RequestRecord& record);

    std::unique_ptr<Net> net_;
    std::string address_;
    int port_ = 0;
    int timeout_ms_ = 10000;
    int timeout_limit_ = 3;
    int retry_interval_ms_ = 30000;
    std::chrono::steady_clock::time_point next_retry_{};
    int counter_ = 0;
    int timeouts_ = 0;
    RequestRecord record_;
    isam::KeyDesc key_{};
    // Replayed after a reconnection, in this order: sign-on, open, the hold's start and read.
    std::optional<RequestRecord> sign_on_, open_, hold_start_, hold_read_;
    std::string failure_;
    FILE* trace_ = nullptr;
    std::function<void(bool)> wait_handler_;
    std::chrono::steady_clock::time_point wait_started_{};
    bool waiting_shown_ = false;
    std::atomic<bool> cancelled_{false};
};

// The name the server knows a course file by: "?:\" and the file's path relative to the course
// folder root (native), with backslashes: DATA\DEMO\GB\USERS and DATA/DEMO/GB/USERS both give
// ?:\DATA\DEMO\GB\USERS. A drive prefix is dropped; an absolute path inside root is made
// relative to it.
std::string RemoteFileName(std::string_view root, std::string_view path);

}  // namespace data
