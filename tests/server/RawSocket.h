// A plain blocking loopback socket for sending hand-made request records.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>

#include "data/RequestRecord.h"

struct RawSocket {
    int fd = -1;
    explicit RawSocket(int port) {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        timeval tv{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            close(fd);
            fd = -1;
        }
    }
    ~RawSocket() {
        if (fd >= 0) close(fd);
    }
    bool Send(const void* p, size_t n) { return write(fd, p, n) == ssize_t(n); }
    bool Send(const data::RequestRecord& r) {
        std::array<uint8_t, data::kRequestSize> b;
        data::EncodeRequest(r, b.data());
        return Send(b.data(), b.size());
    }
    // Reads one whole reply; false on end of stream or time-out.
    bool Receive(data::RequestRecord& r) {
        std::array<uint8_t, data::kRequestSize> b;
        size_t have = 0;
        while (have < b.size()) {
            const ssize_t n = read(fd, b.data() + have, b.size() - have);
            if (n <= 0) return false;
            have += size_t(n);
        }
        data::DecodeRequest(b.data(), r);
        return true;
    }
    // Sends and receives; the reply's result and error.
    std::pair<int, int> Ask(data::RequestRecord r) {
        if (!Send(r)) return {-100, 0};
        data::RequestRecord reply;
        if (!Receive(reply)) return {-101, 0};
        return {reply.result, reply.error};
    }
};

inline data::RequestRecord Request(int code, const std::string& name = "", int mode = 0) {
    data::RequestRecord r;
    r.code = code;
    r.SetName(name);
    r.mode = mode;
    return r;
}
