// A plain TCP connection to the report server on loopback, from a chosen loopback address, for
// requests written by hand: slow, pipelined or malformed. Header-only.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace reporttest {

class RawHttp {
  public:
    // Connects to 127.0.0.1:port from the address from (any of 127.0.0.0/8).
    RawHttp(int port, const char* from = "127.0.0.1") {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const timeval limit{10, 0};  // a send the server stopped reading fails, never hangs
        ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        inet_pton(AF_INET, from, &local.sin_addr);
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(uint16_t(port));
        server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            ::connect(fd_, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~RawHttp() {
        if (fd_ >= 0) ::close(fd_);
    }
    RawHttp(const RawHttp&) = delete;
    RawHttp& operator=(const RawHttp&) = delete;

    bool Connected() const { return fd_ >= 0; }
    bool Send(const std::string& bytes) {
        return fd_ >= 0 &&
               ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
    }
    // Everything received until the server closes the connection or seconds go by.
    std::string ReadAll(int seconds = 20) {
        std::string out;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (fd_ >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0) break;
            char buf[65536];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) {
                closed_ = true;
                break;
            }
            out.append(buf, size_t(n));
        }
        return out;
    }
    // Whether the server closed the connection (seen by ReadAll).
    bool Closed() const { return closed_; }
    // Whether the connection is still open and nothing came from the server.
    bool OpenAndSilent() const {
        char byte;
        const ssize_t n = ::recv(fd_, &byte, 1, MSG_DONTWAIT | MSG_PEEK);
        return fd_ >= 0 && n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }

  private:
    int fd_ = -1;
    bool closed_ = false;
};

}  // namespace reporttest
