// A loopback relay between the player and a data server that can fall silent: until Silence()
// it passes bytes both ways; from then on it keeps every connection open, takes what the player
// sends and answers nothing (a server that accepts and never answers). For the window bench.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

namespace bench {

class SilentRelay {
  public:
    explicit SilentRelay(int server_port) : server_port_(server_port) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = Loopback(0);
        bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        listen(listener_, 8);
        thread_ = std::thread([this] { Run(); });
    }
    ~SilentRelay() {
        stop_ = true;
        thread_.join();
        for (const Pair& p : pairs_) {
            if (p.player < 0) continue;
            close(p.player);
            close(p.server);
        }
        close(listener_);
    }
    int Port() const { return port_; }
    void Silence() { silent_ = true; }

  private:
    struct Pair {
        int player, server;
    };
    static sockaddr_in Loopback(int port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(uint16_t(port));
        return a;
    }
    // One thread polls the listener and every connection, 20 ms at a time.
    void Run() {
        char buffer[4096];
        while (!stop_) {
            std::vector<pollfd> fds{{listener_, POLLIN, 0}};
            for (const Pair& p : pairs_) {
                fds.push_back({p.player, POLLIN, 0});
                fds.push_back({p.server, POLLIN, 0});
            }
            if (poll(fds.data(), fds.size(), 20) <= 0) continue;
            if (fds[0].revents & POLLIN) {
                const int player = accept(listener_, nullptr, nullptr);
                const int server = socket(AF_INET, SOCK_STREAM, 0);
                sockaddr_in a = Loopback(server_port_);
                if (player >= 0 &&
                    connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
                    pairs_.push_back({player, server});
                } else {
                    if (player >= 0) close(player);
                    close(server);
                }
            }
            for (size_t i = 1; i < fds.size(); ++i) {
                if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
                Pair& p = pairs_[(i - 1) / 2];
                if (p.player < 0) continue;
                const bool from_player = (i - 1) % 2 == 0;
                const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                if (n <= 0) {
                    // Either side closed: so does the other.
                    close(p.player);
                    close(p.server);
                    p = {-1, -1};
                    continue;
                }
                // Once silent, what the player sends is taken and nothing is passed on.
                if (silent_) continue;
                (void)!write(from_player ? p.server : p.player, buffer, size_t(n));
            }
        }
    }

    int server_port_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false}, silent_{false};
    std::vector<Pair> pairs_;
    std::thread thread_;
};

}  // namespace bench
