// The report server's connections, served so that slow or many clients cannot keep the others
// out: each connection has its own thread (up to a bound; further ones wait), a request's head
// and body must arrive within a time limit, a connection waits a bounded time for its next
// request, and an address holds a bounded number of connections at once. The bytes a client
// sent ahead are kept for its next request, so pipelined requests are all answered. Plain or
// TLS (OpenSSL, through cpp-httplib's SSLServer and its context).
#pragma once

#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>

namespace coursereport {

struct ConnectionLimits {
    int request_ms = 5000;  // to receive one request's head and body (and a TLS handshake)
    int idle_ms = 5000;     // for the next request of a kept-alive connection
    int write_ms = 10000;   // for each part of an answer to leave
    int per_address = 16;   // connections one address holds at once
    int threads = 256;      // connections served at once; the others wait for a thread
    int requests = 100;     // requests on one connection
    // Bytes of one request's head and body: past them the request fails and the connection
    // ends, so that endless header lines cannot fill the memory.
    size_t request_bytes = 65536;
};

// What the connections of one server share: the limits and the count of each address.
class ConnectionGuard {
  public:
    using Process = std::function<bool(httplib::Stream&, bool close, bool& closed)>;

    explicit ConnectionGuard(const ConnectionLimits& limits) : limits_(limits) {}
    const ConnectionLimits& Limits() const { return limits_; }
    // A task queue that runs each connection on a thread of its own, up to limits.threads.
    httplib::TaskQueue* NewQueue() const;
    // Serves the connection sock until it ends, then closes it: TLS through ssl when not null.
    // listening goes invalid when the server stops.
    void Serve(int sock, SSL_CTX* ssl, const std::atomic<int>& listening, const Process& process);

  private:
    bool Enter(const std::string& address);
    void Leave(const std::string& address);

    const ConnectionLimits limits_;
    std::mutex mutex_;
    std::map<std::string, int> per_address_;
};

// An httplib server (Server or SSLServer) whose connections are served by a ConnectionGuard.
// setup_request sees each request once its head is read, before it is routed.
template <class Base>
class GuardedServer : public Base {
  public:
    template <class... Args>
    explicit GuardedServer(const ConnectionLimits& limits, Args&&... args)
        : Base(std::forward<Args>(args)...), guard_(limits) {
        this->new_task_queue = [this] { return guard_.NewQueue(); };
        this->set_keep_alive_max_count(size_t(limits.requests));
        this->set_keep_alive_timeout(std::max(1, limits.idle_ms / 1000));
    }

    std::function<void(httplib::Request&)> setup_request;

    // Once bound: lets the system queue this many connections not yet taken, instead of the
    // library's 5, past which a burst of clients waits for their connection to be retried.
    void WidenBacklog(int connections) { ::listen(this->svr_sock_, connections); }

  private:
    bool process_and_close_socket(socket_t sock) override {
        SSL_CTX* ssl = nullptr;
        if constexpr (std::is_base_of_v<httplib::SSLServer, Base>) ssl = this->ssl_context();
        guard_.Serve(sock, ssl, this->svr_sock_,
                     [this](httplib::Stream& stream, bool close, bool& closed) {
                         return this->process_request(stream, close, closed, setup_request);
                     });
        return true;
    }

    ConnectionGuard guard_;
};

}  // namespace coursereport
