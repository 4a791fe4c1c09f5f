// The client against a fake server that misbehaves: late answers, replies in pieces, silence,
// and connections closed under it. Time-outs are 100 ms here, never the player's 10 s.
#include "data/RemoteClient.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "support/TempFolder.h"

namespace {

using data::RequestRecord;

// Accepts connections on a free loopback port and hands each to script with its index.
class FakeServer {
  public:
    using Script = std::function<void(int fd, int index)>;
    explicit FakeServer(Script script) : script_(std::move(script)) {
        listen_fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        listen(listen_fd_, 8);
        thread_ = std::thread([this] {
            for (int index = 0;; ++index) {
                const int fd = accept(listen_fd_, nullptr, nullptr);
                if (fd < 0 || stop_) {
                    if (fd >= 0) close(fd);
                    return;
                }
                timeval tv{3, 0};
                setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
                script_(fd, index);
                close(fd);
            }
        });
    }
    ~FakeServer() {
        stop_ = true;
        shutdown(listen_fd_, SHUT_RDWR);
        close(listen_fd_);
        thread_.join();
    }
    int port() const { return port_; }

    // Reads one request; false at the end of the stream.
    static bool Receive(int fd, RequestRecord& r) {
        uint8_t b[data::kRequestSize];
        size_t have = 0;
        while (have < sizeof b) {
            const ssize_t n = read(fd, b + have, sizeof b - have);
            if (n <= 0) return false;
            have += size_t(n);
        }
        data::DecodeRequest(b, r);
        return true;
    }
    // Answers r with result 0 (or as given), whole or cut at split bytes.
    static void Reply(int fd, RequestRecord r, int result = 0, size_t split = 0) {
        r.result = result;
        r.error = 0;
        uint8_t b[data::kRequestSize];
        data::EncodeRequest(r, b);
        if (split == 0) {
            (void)!write(fd, b, sizeof b);
            return;
        }
        (void)!write(fd, b, split);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        (void)!write(fd, b + split, sizeof b - split);
    }

  private:
    Script script_;
    int listen_fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void Connect(data::RemoteClient& client, int port) {
    client.CreateClient("127.0.0.1", port, 100);
    ASSERT_TRUE(client.Connect()) << client.LastFailure();
}

TEST(RemoteClientTest, LateAnswersAreSkippedAndSplitRepliesJoined) {
    FakeServer server([](int fd, int) {
        RequestRecord r;
        while (FakeServer::Receive(fd, r)) {
            RequestRecord stale = r;
            stale.request_no = r.request_no + 1000;
            FakeServer::Reply(fd, stale, 99);
            r.data[0] = 'X';
            FakeServer::Reply(fd, r, 7, 700);
        }
    });
    support::TempFolder folder;
    data::RemoteClient client;
    ASSERT_TRUE(client.AttachTrace((folder.path / "trace").string()));
    Connect(client, server.port());
    uint8_t rec[148] = {};
    EXPECT_EQ(client.RemoteRead(rec, sizeof rec, 5), 7);
    EXPECT_EQ(rec[0], 'X');
    EXPECT_EQ(client.RemoteRead(rec, sizeof rec, 5), 7);
    EXPECT_EQ(client.Record().request_no, 1);
    client.Disconnect();
    const std::string trace = support::TempFolder::Read((folder.path / "trace").string());
    EXPECT_EQ(trace.rfind("##  date + time           #   #byte# ID #rqID#rq#rt#isr#nrec#file", 0),
              0u);
    EXPECT_NE(trace.find("#SND#1644#   0#24#-1#  0#   0###"), std::string::npos) << trace;
    EXPECT_NE(trace.find("#RCV#1644#   0#24# 7#  0#   0###"), std::string::npos) << trace;
    EXPECT_NE(trace.find("Err : E8 03 00 00 18 00 00 00"), std::string::npos) << trace;
}

TEST(RemoteClientTest, SilenceFailsAfterThreeTimeOutsAndDisconnects) {
    FakeServer server([](int fd, int) {
        RequestRecord r;
        while (FakeServer::Receive(fd, r)) {
            if (r.code == data::kSignOn) FakeServer::Reply(fd, r, 0, 10);  // a reply cut short
        }
    });
    data::RemoteClient client;
    Connect(client, server.port());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.RemoteOpen("?:\\USERS", 2), -1);
    EXPECT_EQ(client.LastError(), -2);
    EXPECT_FALSE(client.Connected());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(290));
    EXPECT_EQ(client.SignOn("a", "b", "c"), -1) << "stays disconnected";
    EXPECT_EQ(client.LastError(), -2);
}

TEST(RemoteClientTest, AClosedConnectionIsReconnectedOnceWithSignOnAndOpenRepeated) {
    std::vector<int> seen;  // request codes, -100 for each new connection
    std::mutex mu;
    FakeServer server([&](int fd, int index) {
        {
            std::lock_guard<std::mutex> lock(mu);
            seen.push_back(-100);
        }
        RequestRecord r;
        while (FakeServer::Receive(fd, r)) {
            {
                std::lock_guard<std::mutex> lock(mu);
                seen.push_back(r.code);
            }
            // The first connection dies at its first read.
            if (index == 0 && r.code == data::kIsRead) return;
            FakeServer::Reply(fd, r, r.code == data::kIsOpen ? 3 : 0);
        }
    });
    data::RemoteClient client;
    Connect(client, server.port());
    EXPECT_EQ(client.SignOn("app", "group", "user"), 0);
    EXPECT_EQ(client.RemoteOpen("?:\\USERS", 2050), 3);
    uint8_t rec[148] = {};
    EXPECT_EQ(client.RemoteRead(rec, sizeof rec, 5), 0);
    EXPECT_TRUE(client.Connected());
    client.Disconnect();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::lock_guard<std::mutex> lock(mu);
    const std::vector<int> want = {-100, -1, 21, 24, -100, -1, 21, 24};
    EXPECT_EQ(seen, want);
}

TEST(RemoteClientTest, AServerThatKeepsClosingGivesMinusTwo) {
    FakeServer server([](int fd, int) {
        RequestRecord r;
        FakeServer::Receive(fd, r);  // and close
    });
    data::RemoteClient client;
    Connect(client, server.port());
    EXPECT_EQ(client.SignOn("a", "b", "c"), -1);
    EXPECT_EQ(client.LastError(), -2);
    EXPECT_FALSE(client.Connected());

    data::RemoteClient named;
    named.CreateClient("localhost", server.port(), 1000);
    EXPECT_TRUE(named.Connect()) << named.LastFailure();

    data::RemoteClient nobody;
    nobody.CreateClient("127.0.0.1", 1, 100);
    EXPECT_FALSE(nobody.Connect());
    EXPECT_EQ(nobody.Transact(data::kSignOn), -1);
    EXPECT_EQ(nobody.LastError(), -2);
}

TEST(RemoteClientTest, AFetchCutShortLeavesTheLocalFileAsItWas) {
    FakeServer server([](int fd, int) {
        RequestRecord r;
        while (FakeServer::Receive(fd, r)) {
            if (r.block == 2) return;  // gone in the middle of the file
            r.length = 1024;
            r.data.fill('n');
            FakeServer::Reply(fd, r);
        }
    });
    support::TempFolder folder;
    const std::string local = folder.Write("GB/USERS.dat", "old copy");
    data::RemoteClient client;
    Connect(client, server.port());
    EXPECT_EQ(client.GetFile(local, "?:\\DATA\\DEMO\\GB\\USERS.dat"), -1);
    EXPECT_EQ(support::TempFolder::Read(local), "old copy");
    EXPECT_FALSE(std::filesystem::exists(local + ".part"));
}

}  // namespace
