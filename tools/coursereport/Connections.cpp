#include "Connections.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <system_error>
#include <thread>
#include <vector>

namespace coursereport {

namespace {

using Clock = std::chrono::steady_clock;

// A wait is cut in slices this long, so that a stopping server ends its connections soon.
constexpr int kSliceMs = 200;

// Runs each task on a thread of its own, up to a bound: a thread that finished a task takes the
// next one; past the bound, tasks wait for a thread.
class ThreadPerTask : public httplib::TaskQueue {
  public:
    explicit ThreadPerTask(size_t most) : most_(most) {}
    ~ThreadPerTask() override { shutdown(); }

    void enqueue(std::function<void()> fn) override {
        std::unique_lock<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(fn));
        // Every task waiting has a thread waiting for it, or a new one (counted as waiting).
        if (tasks_.size() <= idle_ || threads_.size() >= most_) {
            wake_.notify_one();
            return;
        }
        try {
            threads_.emplace_back([this] { Work(); });
            ++idle_;
        } catch (const std::system_error&) {
            // No thread to be had: the task waits for one of the others.
        }
    }

    void shutdown() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return;
            stopping_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

  private:
    void Work() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return !tasks_.empty() || stopping_; });
            if (tasks_.empty()) return;
            --idle_;
            std::function<void()> task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            lock.lock();
            ++idle_;
        }
    }

    const size_t most_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    std::vector<std::thread> threads_;
    size_t idle_ = 0;
    bool stopping_ = false;
};

std::string AddressText(const sockaddr_storage& addr, int& port) {
    char text[INET6_ADDRSTRLEN] = "";
    port = 0;
    if (addr.ss_family == AF_INET) {
        const auto& a = reinterpret_cast<const sockaddr_in&>(addr);
        inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
        port = ntohs(a.sin_port);
    } else if (addr.ss_family == AF_INET6) {
        const auto& a = reinterpret_cast<const sockaddr_in6&>(addr);
        inet_ntop(AF_INET6, &a.sin6_addr, text, sizeof text);
        port = ntohs(a.sin6_port);
    }
    return text;
}

std::string PeerAddress(int sock, int& port) {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (getpeername(sock, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return std::string();
    return AddressText(addr, port);
}

// One connection as the library reads and writes it: a non-blocking socket, plain or TLS, with
// the bytes received ahead kept for the next read, and a time limit on reading.
class Channel : public httplib::Stream {
  public:
    Channel(int sock, SSL* ssl, const ConnectionLimits& limits, const std::atomic<int>& listening)
        : sock_(sock), ssl_(ssl), limits_(limits), listening_(listening) {}

    // A new request: its reads fail past until or past the request's bytes.
    void StartRequest(Clock::time_point until) {
        read_until_ = until;
        delivered_ = 0;
    }
    // Whether a request ran out of time or bytes: the connection is then of no further use.
    bool Spent() const { return spent_; }
    // Waits until a byte can be read or until goes by.
    bool AwaitRequest(Clock::time_point until) { return Buffered() || Wait(POLLIN, until); }
    // The TLS handshake, within the read time limit.
    bool Handshake() {
        for (;;) {
            const int rc = SSL_accept(ssl_);
            if (rc == 1) return true;
            if (!WaitFor(SSL_get_error(ssl_, rc), read_until_)) return false;
        }
    }

    bool is_readable() const override { return Buffered() || Wait(POLLIN, read_until_); }
    bool is_writable() const override { return Wait(POLLOUT, WriteLimit()); }

    ssize_t read(char* ptr, size_t size) override {
        if (delivered_ >= limits_.request_bytes) {
            spent_ = true;
            return -1;
        }
        if (start_ == end_ && !Fill()) return eof_ ? 0 : -1;
        const size_t n = std::min({size, end_ - start_, limits_.request_bytes - delivered_});
        std::memcpy(ptr, buffer_ + start_, n);
        start_ += n;
        delivered_ += n;
        return ssize_t(n);
    }

    ssize_t write(const char* ptr, size_t size) override {
        const Clock::time_point until = WriteLimit();
        size_t done = 0;
        while (done < size) {
            if (ssl_) {
                const int chunk = int(std::min<size_t>(size - done, 1 << 20));
                const int n = SSL_write(ssl_, ptr + done, chunk);
                if (n > 0) {
                    done += size_t(n);
                    continue;
                }
                if (!WaitFor(SSL_get_error(ssl_, n), until)) return -1;
                continue;
            }
            const ssize_t n = ::send(sock_, ptr + done, size - done, MSG_NOSIGNAL);
            if (n > 0) {
                done += size_t(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (!Wait(POLLOUT, until)) return -1;
            } else {
                return -1;
            }
        }
        return ssize_t(size);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = PeerAddress(sock_, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage addr{};
        socklen_t len = sizeof addr;
        if (getsockname(sock_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            ip.clear();
            port = 0;
            return;
        }
        ip = AddressText(addr, port);
    }
    socket_t socket() const override { return sock_; }

  private:
    bool Buffered() const { return start_ < end_ || (ssl_ && SSL_pending(ssl_) > 0); }
    Clock::time_point WriteLimit() const {
        return Clock::now() + std::chrono::milliseconds(limits_.write_ms);
    }

    // Reads what the peer sent into the buffer; false at its end, on an error or past the
    // read time limit.
    bool Fill() {
        start_ = end_ = 0;
        for (;;) {
            if (ssl_) {
                const int n = SSL_read(ssl_, buffer_, sizeof buffer_);
                if (n > 0) {
                    end_ = size_t(n);
                    return true;
                }
                const int error = SSL_get_error(ssl_, n);
                if (error == SSL_ERROR_ZERO_RETURN) eof_ = true;
                if (!WaitFor(error, read_until_)) {
                    spent_ = true;
                    return false;
                }
                continue;
            }
            const ssize_t n = ::recv(sock_, buffer_, sizeof buffer_, 0);
            if (n > 0) {
                end_ = size_t(n);
                return true;
            }
            if (n == 0) {
                eof_ = true;
                return false;
            }
            if (errno == EINTR) continue;
            if ((errno != EAGAIN && errno != EWOULDBLOCK) || !Wait(POLLIN, read_until_)) {
                spent_ = true;
                return false;
            }
        }
    }

    // Waits as TLS asks after an operation that failed with error; false for any other error.
    bool WaitFor(int error, Clock::time_point until) const {
        if (error == SSL_ERROR_WANT_READ) return Wait(POLLIN, until);
        if (error == SSL_ERROR_WANT_WRITE) return Wait(POLLOUT, until);
        return false;
    }

    // Waits until the socket is ready for events, until goes by or the server stops.
    bool Wait(short events, Clock::time_point until) const {
        for (;;) {
            if (listening_ == INVALID_SOCKET) return false;
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
            if (left.count() <= 0) return false;
            pollfd p{sock_, events, 0};
            const int rc = ::poll(&p, 1, int(std::min<int64_t>(left.count(), kSliceMs)));
            if (rc > 0) return true;
            if (rc < 0 && errno != EINTR) return false;
        }
    }

    const int sock_;
    SSL* const ssl_;
    const ConnectionLimits& limits_;
    const std::atomic<int>& listening_;
    Clock::time_point read_until_ = Clock::now();
    size_t delivered_ = 0;  // bytes of the request under way
    char buffer_[16384];
    size_t start_ = 0, end_ = 0;
    bool eof_ = false, spent_ = false;
};

// Said, plainly, to a connection past its address's bound before it is closed.
std::string TooMany() {
    const std::string body = "too many connections from your address at once; try again later\n";
    return "HTTP/1.1 503 Service Unavailable\r\n"
           "Content-Type: text/plain; charset=utf-8\r\n"
           "Content-Length: " +
           std::to_string(body.size()) +
           "\r\n"
           "Retry-After: 10\r\n"
           "Connection: close\r\n"
           "\r\n" +
           body;
}

}  // namespace

httplib::TaskQueue* ConnectionGuard::NewQueue() const {
    return new ThreadPerTask(size_t(std::max(1, limits_.threads)));
}

bool ConnectionGuard::Enter(const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    int& count = per_address_[address];
    if (count >= limits_.per_address) {
        if (count == 0) per_address_.erase(address);
        return false;
    }
    ++count;
    return true;
}

void ConnectionGuard::Leave(const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto at = per_address_.find(address);
    if (at != per_address_.end() && --at->second <= 0) per_address_.erase(at);
}

void ConnectionGuard::Serve(int sock, SSL_CTX* ssl_context, const std::atomic<int>& listening,
                            const Process& process) {
    int port = 0;
    const std::string address = PeerAddress(sock, port);
    ::fcntl(sock, F_SETFL, ::fcntl(sock, F_GETFL) | O_NONBLOCK);
    if (!Enter(address)) {
        if (!ssl_context) {
            const std::string answer = TooMany();
            (void)::send(sock, answer.data(), answer.size(), MSG_NOSIGNAL);
        }
        ::shutdown(sock, SHUT_RDWR);
        ::close(sock);
        return;
    }
    SSL* ssl = nullptr;
    if (ssl_context) {
        ssl = SSL_new(ssl_context);
        if (ssl && SSL_set_fd(ssl, sock) != 1) {
            SSL_free(ssl);
            ssl = nullptr;
        }
    }
    {
        Channel channel(sock, ssl, limits_, listening);
        const auto request_time = std::chrono::milliseconds(limits_.request_ms);
        // The first request's time runs from the connection (and includes the handshake);
        // each later one's from its first byte.
        channel.StartRequest(Clock::now() + request_time);
        bool open = !ssl_context || (ssl && channel.Handshake());
        for (int left = limits_.requests; open && left > 0; --left) {
            const bool first = left == limits_.requests;
            if (!first) {
                if (!channel.AwaitRequest(Clock::now() +
                                          std::chrono::milliseconds(limits_.idle_ms)))
                    break;
                channel.StartRequest(Clock::now() + request_time);
            }
            bool closed = false;
            open = process(channel, left == 1, closed) && !closed && !channel.Spent() &&
                   listening != INVALID_SOCKET;
        }
    }
    if (ssl) {
        SSL_shutdown(ssl);
        SSL_free(ssl);
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    Leave(address);
}

}  // namespace coursereport
