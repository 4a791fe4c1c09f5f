// The client against a fake server that misbehaves: late answers, replies in pieces, silence,
// and connections closed under it. Time-outs are 100 ms here, never the player's 10 s.
#include "data/RemoteClient.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "data/DataAccess.h"
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

// The request codes a fake server saw, -100 for each new connection, kept across its thread.
struct SeenCodes {
    std::mutex mu;
    std::vector<int> codes;
    void Add(int code) {
        std::lock_guard<std::mutex> lock(mu);
        codes.push_back(code);
    }
    std::vector<int> Get() {
        std::lock_guard<std::mutex> lock(mu);
        return codes;
    }
};

// A server script that logs every request in seen and answers it (an open with handle 3)
// while answer(connection index, request) says so; otherwise it closes the connection.
FakeServer::Script LoggingServer(SeenCodes& seen,
                                 std::function<bool(int, const RequestRecord&)> answer) {
    return [&seen, answer](int fd, int index) {
        seen.Add(-100);
        RequestRecord r;
        while (FakeServer::Receive(fd, r)) {
            seen.Add(r.code);
            if (!answer(index, r)) return;
            FakeServer::Reply(fd, r, r.code == data::kIsOpen ? 3 : 0);
        }
    };
}

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
    // Each read with its own byte count: the late answer whole, then the reply in two pieces.
    EXPECT_NE(trace.find("#RCV#1644#1000#24#99#  0#   0###"), std::string::npos) << trace;
    EXPECT_NE(trace.find("#RCV# 700#   0#24# 7#  0#   0###"), std::string::npos) << trace;
    EXPECT_NE(trace.find("#RCV# 944#   0#24# 7#  0#   0###"), std::string::npos) << trace;
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
    SeenCodes seen;
    // The first connection dies at its first read.
    FakeServer server(LoggingServer(seen, [](int index, const RequestRecord& r) {
        return !(index == 0 && r.code == data::kIsRead);
    }));
    data::RemoteClient client;
    Connect(client, server.port());
    EXPECT_EQ(client.SignOn("app", "group", "user"), 0);
    EXPECT_EQ(client.RemoteOpen("?:\\USERS", 2050), 3);
    uint8_t rec[148] = {};
    EXPECT_EQ(client.RemoteRead(rec, sizeof rec, 5), 0);
    EXPECT_TRUE(client.Connected());
    client.Disconnect();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::vector<int> want = {-100, -1, 21, 24, -100, -1, 21, 24};
    EXPECT_EQ(seen.Get(), want);
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

}  // namespace

namespace {

// A server that sends the file in blocks of block bytes, then an empty one.
void ServeInBlocks(int fd, const std::string& file, size_t block) {
    RequestRecord r;
    while (FakeServer::Receive(fd, r)) {
        const size_t at = size_t(r.block - 1) * block;
        const size_t n = at < file.size() ? std::min(block, file.size() - at) : 0;
        r.data.fill(0);
        std::memcpy(r.data.data(), file.data() + std::min(at, file.size()), n);
        r.length = int32_t(n);
        FakeServer::Reply(fd, r);
    }
}

TEST(RemoteClientTest, AFetchInShortBlocksIsWholeAndEndsAtTheEmptyBlock) {
    std::string file(2500, '\0');
    for (size_t i = 0; i < file.size(); ++i) file[i] = char(i * 7);
    for (size_t block : {size_t(512), size_t(1000), size_t(1024)}) {
        FakeServer server([&](int fd, int) { ServeInBlocks(fd, file, block); });
        support::TempFolder folder;
        const std::string local = folder.Write("GB/USERS.dat", "old copy");
        data::RemoteClient client;
        Connect(client, server.port());
        EXPECT_GE(client.GetFile(local, "?:\\DATA\\DEMO\\GB\\USERS.dat"), 0) << block;
        EXPECT_EQ(support::TempFolder::Read(local), file) << block;
    }
}

// The 1644-byte record's layout, byte by byte, as both sides must write it: little-endian
// numbers at fixed offsets, the key description as 16-bit fields from offset 1572.
TEST(RequestRecordTest, FieldsSitAtTheirOffsets) {
    RequestRecord r;
    r.request_no = 0x01020304;
    r.code = 21;
    r.result = -1;
    r.error = 107;
    r.SetName("?:\\U");
    r.mode = 2050;
    r.length = 0x0400;
    r.block = 3;
    r.data[0] = 0xAA;
    r.data[1023] = 0xBB;
    data::BuildKey(data::kUserKey, r.key);
    uint8_t b[data::kRequestSize];
    data::EncodeRequest(r, b);
    const std::vector<std::pair<size_t, std::vector<uint8_t>>> table = {
        {0, {0x04, 0x03, 0x02, 0x01}},
        {4, {21, 0, 0, 0}},
        {8, {0xFF, 0xFF, 0xFF, 0xFF}},
        {12, {107, 0, 0, 0}},
        {16, {'?', ':', '\\', 'U', 0}},
        {535, {0}},
        {536, {0x02, 0x08, 0, 0}},
        {540, {0x00, 0x04, 0, 0}},
        {544, {3, 0, 0, 0}},
        {548, {0xAA}},
        {1571, {0xBB}},
        // flags 0, two parts: group (8, 4, INT32) then user (4, 4, INT32)
        {1572, {0, 0, 2, 0, 8, 0, 4, 0, 2, 0, 4, 0, 4, 0, 2, 0}},
    };
    for (const auto& [offset, bytes] : table)
        for (size_t i = 0; i < bytes.size(); ++i)
            EXPECT_EQ(b[offset + i], bytes[i]) << "byte " << offset + i;
    EXPECT_EQ(data::kRequestSize, 1644);
}

// A reply that takes a while is announced to the wait handler while it lasts, and its end once.
TEST(RemoteClientTest, ALongWaitIsAnnouncedWhileItLasts) {
    FakeServer server([](int fd, int) {
        RequestRecord r;
        while (FakeServer::Receive(fd, r)) {
            if (r.code == data::kIsOpen)
                std::this_thread::sleep_for(std::chrono::milliseconds(700));
            FakeServer::Reply(fd, r);
        }
    });
    data::RemoteClient client;
    client.CreateClient("127.0.0.1", server.port(), 3000);
    ASSERT_TRUE(client.Connect());
    std::vector<bool> calls;
    client.SetWaitHandler([&](bool waiting) { calls.push_back(waiting); });
    EXPECT_EQ(client.RemoteOpen("?:\\USERS", 2050), 0);
    ASSERT_GE(calls.size(), 2u);
    EXPECT_FALSE(calls.back());
    EXPECT_EQ(std::count(calls.begin(), calls.end(), false), 1);
    EXPECT_TRUE(calls.front());
}

// A fetch that does not end with the empty block keeps the old file and leaves no temporary:
// a server gone mid-file (after full or short blocks), a refusal, a block longer than a
// record can hold (a lying server, said in words).
TEST(RemoteClientTest, AFetchThatDoesNotEndWellKeepsTheOldFile) {
    const struct {
        const char* what;
        int length;  // of each block the server sends
        int refuse;  // 1: block 2 is refused; 0: the server is gone at block 2
        int error;   // the client's error after the fetch
    } cases[] = {{"gone after a full block", 1024, 0, -2},
                 {"gone after a short block", 512, 0, -2},
                 {"refused after a short block", 512, 1, 0},
                 {"a forged length", 5000, 0, EBADMSG}};
    for (const auto& c : cases) {
        FakeServer server([&](int fd, int) {
            RequestRecord r;
            while (FakeServer::Receive(fd, r)) {
                if (r.block == 2 && c.length <= 1024) {
                    if (c.refuse) FakeServer::Reply(fd, r, -1);
                    return;
                }
                r.length = c.length;
                r.data.fill('n');
                FakeServer::Reply(fd, r);
            }
        });
        support::TempFolder folder;
        const std::string local = folder.Write("GB/USERS.dat", "old copy");
        data::RemoteClient client;
        client.SetRetryInterval(60000);
        Connect(client, server.port());
        EXPECT_EQ(client.GetFile(local, "?:\\DATA\\DEMO\\GB\\USERS.dat"), -1) << c.what;
        EXPECT_EQ(client.LastError(), c.error) << c.what;
        if (c.error == EBADMSG) {
            EXPECT_EQ(client.LastFailure(), "the server sent a block of 5000 bytes (1024 at most)");
        }
        EXPECT_EQ(support::TempFolder::Read(local), "old copy") << c.what;
        EXPECT_FALSE(std::filesystem::exists(local + ".part")) << c.what;
    }
}

// A server that was gone is used again once it answers: the client connects afresh and
// repeats the sign-on, the open and the hold before the request.
TEST(RemoteClientTest, AServerBackAfterAnOutageIsReconnectedWithTheSessionRepeated) {
    SeenCodes seen;
    std::atomic<bool> up{true};
    // A request is seen, then answered only while the server is up.
    FakeServer server(LoggingServer(seen, [&](int, const RequestRecord&) { return up.load(); }));
    data::RemoteClient client;
    client.SetRetryInterval(0);
    client.SetTimeoutLimit(1);
    Connect(client, server.port());
    uint8_t rec[148] = {};
    ASSERT_EQ(client.SignOn("app", "group", "user"), 0);
    ASSERT_EQ(client.RemoteOpen("?:\\USERS", 2050), 3);
    ASSERT_EQ(client.HoldLearner(rec, sizeof rec), 0);
    up = false;  // the next request meets a server that reads it and closes the connection
    EXPECT_EQ(client.RemoteRewriteCurrent(rec, sizeof rec), -1);
    EXPECT_EQ(client.LastError(), -2);
    up = true;
    EXPECT_EQ(client.RemoteRewriteCurrent(rec, sizeof rec), 0);
    client.EndSession();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const int hold_read = data::kIsRead;
    // The rewrite meets the silent server; the reconnection made then gets no further than its
    // sign-on; once the server is up the whole session is repeated before the rewrite.
    const std::vector<int> want = {-100, -1,   21, 34, hold_read, 28,        -100,
                                   -1,   -100, -1, 21, 34,        hold_read, 28};
    EXPECT_EQ(seen.Get(), want);
}

}  // namespace
