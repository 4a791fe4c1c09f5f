// The link to a remote data server as start-up needs it: connect, then fetch the learners'
// files. The client itself lives with the data access layer; start-up receives a factory.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace shell {

class RemoteData {
  public:
    virtual ~RemoteData() = default;
    // Connects to address:port, giving up after timeout_ms; false when unreachable.
    virtual bool Connect(const std::string& address, int port, int timeout_ms) = 0;
    // Fetches the server's copy of the file at path (a local path of the course) into place.
    virtual bool FetchFile(const std::string& path) = 0;
    virtual void Close() = 0;
    // Why the last call failed, for the trace and the console.
    virtual std::string LastError() const = 0;
};

using RemoteDataFactory = std::function<std::unique_ptr<RemoteData>()>;

// Stands in where no remote client is built in: every connection fails, saying so.
class UnavailableRemoteData final : public RemoteData {
  public:
    bool Connect(const std::string&, int, int) override { return false; }
    bool FetchFile(const std::string&) override { return false; }
    void Close() override {}
    std::string LastError() const override {
        return "the remote data client is not available in this build";
    }
};

}  // namespace shell
