// The remote data server: players connect over TCP and send 1644-byte request records, each
// answered in place. Networking runs on the thread that calls Run; every engine call runs on
// one engine thread of its own, so a slow call never holds up reading other connections.
#pragma once

#include <asio.hpp>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "LearnerHolds.h"
#include "NameMap.h"
#include "UploadSpace.h"

namespace server {

class ClientSession;

struct ServerOptions {
    std::string root;
    std::string bind = "127.0.0.1";
    int port = 5000;
    int idle_seconds = 3600;
    int max_clients = 256;
    int max_per_address = 64;  // connections from one address at once (a terminal server)
    // When every place is taken, a connection silent for this long is closed for a new one.
    int full_idle_seconds = 120;
    long upload_space = 256L << 20;  // bytes of all unfinished uploads together
    std::string trace;               // request trace file, none when empty
    int lock_wait_ms = 2000;         // a request held by a record lock is tried again until then
};

class DataServer {
  public:
    explicit DataServer(ServerOptions options);
    ~DataServer();

    // Binds and listens; false with the reason in error.
    bool Listen(std::string& error);
    // The address and port listened on ("127.0.0.1:5000").
    std::string Address() const;
    // Serves until Stop or SIGTERM/SIGINT; then every connection is closed and every handle
    // with it.
    void Run();
    // Callable from any thread.
    void Stop();

  private:
    class Connection;
    friend class Connection;

    void Accept();
    // Takes a new connection in, or refuses it (false) when its address or the server has no
    // room left; a full server first closes its longest-silent connection when that has been
    // silent for full_idle_seconds.
    bool Admit(const std::string& address, const std::string& peer);
    // Logs a refused connection: one line per reason at most every 10 s, with the count of
    // refusals not logged since.
    void LogRefusal(int reason, const std::string& peer, const std::string& why);
    void Shutdown();
    // Engine-thread side.
    void Serve(std::shared_ptr<Connection> c, int attempt_ms);

    ServerOptions options_;
    NameMap names_;
    LearnerHolds holds_;   // engine thread only
    UploadSpace uploads_;  // engine thread only
    asio::io_context net_;
    asio::io_context engine_;
    asio::executor_work_guard<asio::io_context::executor_type> engine_work_;
    std::thread engine_thread_;
    asio::ip::tcp::acceptor acceptor_;
    asio::signal_set signals_;
    std::map<long, std::shared_ptr<Connection>> connections_;  // network thread only
    std::map<std::string, int> per_address_;                   // network thread only
    struct Refusals {
        std::chrono::steady_clock::time_point logged{};
        long unlogged = 0;
    };
    Refusals refusals_[2];  // network thread only: by address, server full
    bool stopping_ = false;
    FILE* trace_ = nullptr;  // engine thread only
};

}  // namespace server
