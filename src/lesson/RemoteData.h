// The link to a remote data server as start-up needs it: connect, then fetch the learners'
// files. The client itself lives with the data access layer (data::RemoteClient).
#pragma once

#include <cerrno>
#include <functional>
#include <memory>
#include <string>

#include "data/RemoteClient.h"
#include "platform/Path.h"

namespace lesson {

class RemoteData {
  public:
    virtual ~RemoteData() = default;
    // Connects to address:port, giving up after timeout_ms; false when unreachable.
    virtual bool Connect(const std::string& address, int port, int timeout_ms) = 0;
    // Fetches the server's copy of the file at path (a path inside the course, either form) into
    // the native path into; a broken transfer leaves the file at into as it was.
    virtual bool FetchFile(const std::string& path, const std::string& into) = 0;
    virtual void Close() = 0;
    // Why the last call failed, for the trace and the console.
    virtual std::string LastError() const = 0;
    // The client for the session; none for stand-ins. The learners' store signs on with it,
    // gives it to the users file as its remote role (the record's rewrites) and sends the files.
    virtual data::RemoteClient* Client() { return nullptr; }
};

using RemoteDataFactory = std::function<std::unique_ptr<RemoteData>()>;

// The data server reached through data::RemoteClient, for the course in root (native).
class ClientRemoteData final : public RemoteData {
  public:
    explicit ClientRemoteData(std::string root) : root_(std::move(root)) {}
    bool Connect(const std::string& address, int port, int timeout_ms) override {
        client_.CreateClient(address, port, timeout_ms);
        return client_.Connect();
    }
    bool FetchFile(const std::string& path, const std::string& into) override {
        failure_.clear();
        if (client_.GetFile(into, data::RemoteFileName(root_, path)) >= 0) return true;
        const int error = client_.LastError();
        failure_ = error == -2 || error == EBADMSG ? client_.LastFailure()
                                                   : "error " + std::to_string(error) + " (" +
                                                         platform::SystemErrorText(error) + ")";
        return false;
    }
    // Fetches into the file's own place in the course.
    bool FetchFile(const std::string& path) {
        return FetchFile(path, platform::NativePathIn(root_, path));
    }
    void Close() override { client_.Disconnect(); }
    std::string LastError() const override {
        return failure_.empty() ? client_.LastFailure() : failure_;
    }
    data::RemoteClient* Client() override { return &client_; }

  private:
    std::string root_;
    data::RemoteClient client_;
    std::string failure_;
};

// Stands in where no remote client is wanted: every connection fails, saying so.
class UnavailableRemoteData final : public RemoteData {
  public:
    bool Connect(const std::string&, int, int) override { return false; }
    bool FetchFile(const std::string&, const std::string&) override { return false; }
    void Close() override {}
    std::string LastError() const override {
        return "the remote data client is not available in this build";
    }
};

}  // namespace lesson
