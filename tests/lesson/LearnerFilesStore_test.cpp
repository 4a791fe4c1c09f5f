// The learner records of a session kept on the data server as well as locally: sign-on, the
// server's copy rewritten before the local one, and files sent at the end of a session.
#include "lesson/LearnerFilesStore.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "support/ServerFixture.h"
#include "support/TempFolder.h"

namespace {

class RemoteStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        support::MakeLearners(dir_.path / "server", 1, 2);
        support::MakeLearners(dir_.path / "local", 1, 2);
        ASSERT_TRUE(server_.Start((dir_.path / "server").string())) << server_.Log();
        ASSERT_TRUE(groups_.Open(local_ + "/DATA/DEMO/GB/GROUP", isam::OPEN_INOUT).ok());
        ASSERT_TRUE(users_.Open(local_ + "/DATA/DEMO/GB/USERS", isam::OPEN_INOUT).ok());
        client_.CreateClient("127.0.0.1", server_.port, 5000);
        ASSERT_TRUE(client_.Connect());
    }
    void TearDown() override { client_.Disconnect(); }

    // The server's copy of a user record, read through a client of its own.
    data::UserRecord ServerUser(int group, int user) {
        data::RemoteClient reader;
        reader.CreateClient("127.0.0.1", server_.port, 5000);
        EXPECT_TRUE(reader.Connect());
        EXPECT_GE(reader.SignOn("test", "g", "u"), 0);
        EXPECT_GE(reader.RemoteOpen("?:\\DATA\\DEMO\\GB\\USERS", isam::OPEN_INOUT), 0);
        data::UserRecord key = data::UserTemplate();
        key.GroupNo = group;
        key.UserNo = user;
        uint8_t b[data::kUserRecordSize];
        data::EncodeUserRecord(key, b);
        EXPECT_GE(reader.SelectKey(data::kUserKey), 0);
        EXPECT_GE(reader.RemoteStart(0, b, sizeof b, isam::EQUAL), 0);
        EXPECT_GE(reader.RemoteRead(b, sizeof b, isam::EQUAL), 0);
        return data::DecodeUserRecord(b);
    }

    // Opens a session for user on the server through store.
    static platform::Status OpenSession(lesson::LearnerStore& store, const data::UserRecord& user) {
        data::UserRecord on_server;
        return store.OpenRemote("Demo", data::GroupTemplate(), user, on_server);
    }

    support::TempFolder dir_;
    const std::string local_ = (dir_.path / "local").string();  // the player's course folder
    support::ServerProcess server_;
    data::DataAccess groups_, users_;
    data::RemoteClient client_;
};

TEST_F(RemoteStoreTest, RewritesTheServersRecordThenTheLocalOneAndSendsFiles) {
    lesson::LearnerFilesStore store(local_, groups_, users_, &client_);
    ASSERT_TRUE(store.HasRemote());
    data::UserRecord user;
    ASSERT_TRUE(store.ReadUser(1, 2, user));
    data::GroupRecord group = data::GroupTemplate();
    data::UserRecord on_server;
    ASSERT_EQ(store.OpenRemote("Demo", group, user, on_server).Text(), "");
    EXPECT_EQ(on_server.UserNo, 2);

    user.Total = 42;
    user.Step = 3;
    user.StepCount = 1;
    const lesson::RecordSave save = store.RewriteUser(user);
    EXPECT_TRUE(save.local.ok()) << save.local.Text();
    EXPECT_TRUE(save.server.ok()) << save.server.Text();
    EXPECT_EQ(ServerUser(1, 2).Total, 42);
    EXPECT_EQ(ServerUser(1, 1).Total, 0);
    data::UserRecord local;
    ASSERT_TRUE(store.ReadUser(1, 2, local));
    EXPECT_EQ(local.Step, 3);

    // A learner the files do not hold is written nowhere, and the report says so.
    data::UserRecord stranger = user;
    stranger.UserNo = 9;
    const lesson::RecordSave lost = store.RewriteUser(stranger);
    EXPECT_FALSE(lost.local.ok());
    EXPECT_FALSE(lost.server.ok());
    EXPECT_NE(lost.local.what().find("USERS"), std::string::npos) << lost.local.Text();
    EXPECT_EQ(lost.server.what(), "?:\\DATA\\DEMO\\GB\\USERS");

    // A whole score file of the learner's one step.
    const std::string score = "DATA/DEMO/GB/SCO002.001";
    const std::string bytes(16 + 24, '\1');
    std::ofstream(local_ + "/" + score) << bytes;
    ASSERT_TRUE(store.SendFile(local_ + "/" + score, data::RemoteFileName(local_, score)));
    EXPECT_EQ(support::TempFolder::Read((dir_.path / "server" / score).string()), bytes);
}

// A history still empty when the session stops (no answer yet) is no failure to send: the
// server lacks nothing of it.
TEST_F(RemoteStoreTest, AnEmptyFileCountsAsSent) {
    lesson::LearnerFilesStore store(local_, groups_, users_, &client_);
    data::UserRecord user;
    ASSERT_TRUE(store.ReadUser(1, 2, user));
    ASSERT_EQ(OpenSession(store, user).Text(), "");
    const std::string history = "DATA/DEMO/GB/HST002.001";
    std::ofstream(local_ + "/" + history).flush();
    for (int stop = 0; stop < 3; ++stop)
        EXPECT_TRUE(store.SendFile(local_ + "/" + history, data::RemoteFileName(local_, history)))
            << stop;
    // Once it holds a line, it is sent whole.
    std::ofstream(local_ + "/" + history) << "#F1 E1 Q1 2:2 N3 D1\n";
    EXPECT_TRUE(store.SendFile(local_ + "/" + history, data::RemoteFileName(local_, history)));
    EXPECT_EQ(support::TempFolder::Read((dir_.path / "server" / history).string()),
              "#F1 E1 Q1 2:2 N3 D1\n");
}

// One session per learner: a second store on the same learner is refused, here through the
// lock beside the local files and through the server's hold, until the first one lets go.
TEST_F(RemoteStoreTest, ASecondSessionOnTheSameLearnerIsRefusedUntilTheFirstEnds) {
    lesson::LearnerFilesStore first(local_, groups_, users_, &client_);
    data::DataAccess groups2, users2;
    ASSERT_TRUE(groups2.Open(local_ + "/DATA/DEMO/GB/GROUP", isam::OPEN_INOUT).ok());
    ASSERT_TRUE(users2.Open(local_ + "/DATA/DEMO/GB/USERS", isam::OPEN_INOUT).ok());
    data::RemoteClient client2;
    client2.CreateClient("127.0.0.1", server_.port, 5000);
    ASSERT_TRUE(client2.Connect());
    lesson::LearnerFilesStore second(local_, groups2, users2, &client2);

    EXPECT_EQ(first.HoldLearner(1, 2).Text(), "");
    EXPECT_EQ(second.HoldLearner(1, 2).code(), data::kLearnerBusy);
    EXPECT_EQ(second.HoldLearner(1, 1).Text(), "") << "another learner is free";

    data::UserRecord user;
    ASSERT_TRUE(first.ReadUser(1, 2, user));
    ASSERT_EQ(OpenSession(first, user).Text(), "");
    const platform::Status refused = OpenSession(second, user);
    EXPECT_EQ(refused.code(), data::kLearnerBusy);
    EXPECT_EQ(refused.what(), "?:\\DATA\\DEMO\\GB\\USERS");

    first.ReleaseLearner();
    EXPECT_EQ(second.HoldLearner(1, 2).Text(), "");
    EXPECT_EQ(OpenSession(second, user).Text(), "");
}

// The data server stops mid-session and comes back on the same port: the record is saved
// locally meanwhile, and the server's copy follows once it answers again.
TEST_F(RemoteStoreTest, ARecordSavedDuringAnOutageReachesTheServerWhenItIsBack) {
    client_.SetRetryInterval(0);
    lesson::LearnerFilesStore store(local_, groups_, users_, &client_);
    data::UserRecord user;
    ASSERT_TRUE(store.ReadUser(1, 2, user));
    ASSERT_EQ(OpenSession(store, user).Text(), "");
    const int port = server_.port;
    server_.Stop();
    user.Total = 17;
    lesson::RecordSave save = store.RewriteUser(user);
    EXPECT_TRUE(save.local.ok()) << save.local.Text();
    EXPECT_FALSE(save.server.ok());
    data::UserRecord local;
    ASSERT_TRUE(store.ReadUser(1, 2, local));
    EXPECT_EQ(local.Total, 17);

    ASSERT_TRUE(server_.Start((dir_.path / "server").string(), {"--port", std::to_string(port)}))
        << server_.Log();
    ASSERT_EQ(server_.port, port);
    user.Total = 18;
    save = store.RewriteUser(user);
    EXPECT_TRUE(save.local.ok()) << save.local.Text();
    EXPECT_TRUE(save.server.ok()) << save.server.Text();
    EXPECT_EQ(ServerUser(1, 2).Total, 18);
}

// The server takes the record but the local file, opened for reading only, does not: the
// failure is the local copy's, and the server's copy is not reported as failed.
TEST_F(RemoteStoreTest, ALocalCopyThatCannotBeWrittenIsTheOneReported) {
    data::DataAccess read_only;
    ASSERT_TRUE(read_only.Open(local_ + "/DATA/DEMO/GB/USERS", isam::OPEN_INPUT).ok());
    lesson::LearnerFilesStore store(local_, groups_, read_only, &client_);
    data::UserRecord user;
    ASSERT_TRUE(store.ReadUser(1, 2, user));
    ASSERT_EQ(OpenSession(store, user).Text(), "");
    user.Total = 23;
    const lesson::RecordSave save = store.RewriteUser(user);
    EXPECT_TRUE(save.server.ok()) << save.server.Text();
    EXPECT_FALSE(save.local.ok());
    EXPECT_EQ(save.local.what(), read_only.DataPath());
    EXPECT_EQ(ServerUser(1, 2).Total, 23);
}

// The data server's client on its own thread: the store writes here at once and hands the
// server's part to the worker, whose results come back as calls posted to the test's thread.
namespace {

// Calls handed back to the owner's thread, run when the test says so.
struct PostedCalls {
    std::mutex mutex;
    std::vector<std::function<void()>> calls;
    data::RemoteWorker::Poster Poster() {
        return [this](std::function<void()> call) {
            std::lock_guard lock(mutex);
            calls.push_back(std::move(call));
        };
    }
    void RunAll() {
        std::vector<std::function<void()>> now;
        {
            std::lock_guard lock(mutex);
            now.swap(calls);
        }
        for (auto& call : now) call();
    }
};

// A loopback listener on a free port; answers every request (echoing it with result 0) and
// records it, or, when silent, accepts and never answers.
class WirePeer {
  public:
    explicit WirePeer(bool silent) : silent_(silent) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        listen(listener_, 4);
        thread_ = std::thread([this] { Serve(); });
    }
    ~WirePeer() {
        shutdown(listener_, SHUT_RDWR);
        close(listener_);
        thread_.join();
    }
    int Port() const { return port_; }
    std::vector<data::RequestRecord> Seen() {
        std::lock_guard lock(mutex_);
        return seen_;
    }

  private:
    void Serve() {
        for (;;) {
            const int fd = accept(listener_, nullptr, nullptr);
            if (fd < 0) return;
            uint8_t b[data::kRequestSize];
            for (;;) {
                size_t have = 0;
                while (have < sizeof b) {
                    const ssize_t n = read(fd, b + have, sizeof b - have);
                    if (n <= 0) break;
                    have += size_t(n);
                }
                if (have < sizeof b) break;
                data::RequestRecord r;
                data::DecodeRequest(b, r);
                {
                    std::lock_guard lock(mutex_);
                    seen_.push_back(r);
                }
                if (silent_) continue;
                r.result = 0;
                data::EncodeRequest(r, b);
                (void)!write(fd, b, sizeof b);
            }
            close(fd);
        }
    }
    bool silent_;
    int listener_ = -1;
    int port_ = 0;
    std::mutex mutex_;
    std::vector<data::RequestRecord> seen_;
    std::thread thread_;
};

struct WorkerStoreTest : ::testing::Test {
    void SetUp() override {
        support::MakeLearners(dir.path, 1, 1);
        ASSERT_TRUE(groups.Open((dir.path / "DATA/DEMO/GB/GROUP").string(), isam::OPEN_INOUT).ok());
        ASSERT_TRUE(users.Open((dir.path / "DATA/DEMO/GB/USERS").string(), isam::OPEN_INOUT).ok());
    }
    support::TempFolder dir;
    data::DataAccess groups, users;
    PostedCalls posted;
};

}  // namespace

// What goes over the wire when a session opens the server's USERS file: the sign-on, the open
// with mode 2050 (in-out, exclusive lock mode) and the learner's hold (a kept-lock read).
TEST(RemoteStoreWire, TheSessionOpensTheUsersFileWithMode2050AndHoldsTheLearner) {
    WirePeer peer(false);
    support::TempFolder dir;
    support::MakeLearners(dir.path, 1, 1);
    data::DataAccess groups, users;
    ASSERT_TRUE(groups.Open((dir.path / "DATA/DEMO/GB/GROUP").string(), isam::OPEN_INOUT).ok());
    ASSERT_TRUE(users.Open((dir.path / "DATA/DEMO/GB/USERS").string(), isam::OPEN_INOUT).ok());
    data::RemoteClient client;
    client.CreateClient("127.0.0.1", peer.Port(), 5000);
    ASSERT_TRUE(client.Connect());
    lesson::LearnerFilesStore store(dir.path.string(), groups, users, &client);
    data::UserRecord user, on_server;
    ASSERT_TRUE(store.ReadUser(1, 1, user));
    EXPECT_EQ(store.OpenRemote("Demo", data::GroupTemplate(), user, on_server).Text(), "");
    store.ReleaseLearner();  // ends the connection
    const std::vector<data::RequestRecord> seen = peer.Seen();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].code, data::kSignOn);
    EXPECT_EQ(seen[1].code, data::kIsOpen);
    EXPECT_EQ(seen[1].mode, 2050);
    EXPECT_EQ(seen[2].code, data::kIsStart);
    EXPECT_EQ(seen[3].code, data::kIsRead);
    EXPECT_EQ(seen[3].mode, isam::EQUAL | isam::LOCK_KEEP);
}

TEST_F(RemoteStoreTest, OpenFailsWithTheServersErrorForAMissingUsersFile) {
    std::filesystem::remove_all(dir_.path / "server" / "DATA");
    lesson::LearnerFilesStore store(local_, groups_, users_, &client_);
    data::UserRecord user = data::UserTemplate();
    data::UserRecord on_server;
    const platform::Status opened =
        store.OpenRemote("Demo", data::GroupTemplate(), user, on_server);
    EXPECT_FALSE(opened.ok());
    EXPECT_NE(opened.code(), data::kLearnerBusy);
    EXPECT_NE(opened.code(), ENOTCONN) << "the server answered: its refusal is told";
    EXPECT_EQ(opened.what(), "?:\\DATA\\DEMO\\GB\\USERS");
}

}  // namespace

// Every rewrite handed to the worker reaches the wire exactly once, in the order of the saves,
// and the files follow; the waiting state comes back as posted calls.
TEST_F(WorkerStoreTest, EveryRecordAndFileGoesOutOnceInOrder) {
    WirePeer peer(false);
    data::RemoteClient client;
    client.CreateClient("127.0.0.1", peer.Port(), 5000);
    lesson::LearnerFilesStore store(dir.path.string(), groups, users, &client);
    {
        data::RemoteWorker worker(client, posted.Poster());
        store.SetWorker(&worker, std::chrono::milliseconds(5000));
        data::UserRecord user, on_server;
        ASSERT_TRUE(store.ReadUser(1, 1, user));
        ASSERT_EQ(store.OpenRemote("Demo", data::GroupTemplate(), user, on_server).Text(), "");
        constexpr int kSaves = 12;
        for (int i = 1; i <= kSaves; ++i) {
            user.Total = i;
            EXPECT_TRUE(store.RewriteUser(user).local.ok());
        }
        const auto file = dir.path / "S0001.001";
        std::ofstream(file) << "scores";
        EXPECT_TRUE(store.SendFile(file.string(), "?:\\S0001.001"));
        EXPECT_TRUE(store.Settle(true));
        data::UserRecord local;
        ASSERT_TRUE(store.ReadUser(1, 1, local));
        EXPECT_EQ(local.Total, kSaves);

        std::vector<int> totals;
        int file_requests = 0;
        for (const data::RequestRecord& r : peer.Seen()) {
            if (r.code == data::kIsRewCurr)
                totals.push_back(data::DecodeUserRecord(r.data.data()).Total);
            if (r.code == data::kIsSendFile) ++file_requests;
        }
        std::vector<int> expected;
        for (int i = 1; i <= kSaves; ++i) expected.push_back(i);
        EXPECT_EQ(totals, expected);
        EXPECT_GE(file_requests, 1);
        // Request numbers never repeat: nothing was sent twice.
        std::vector<int> numbers;
        for (const data::RequestRecord& r : peer.Seen()) numbers.push_back(r.request_no);
        std::sort(numbers.begin(), numbers.end());
        EXPECT_EQ(std::adjacent_find(numbers.begin(), numbers.end()), numbers.end());
    }
    posted.RunAll();
}

// A server that accepts and never answers: the record is written here at once, a session's
// start and Settle give up within the bound, and the worker ends without waiting out the
// client's time-out.
TEST_F(WorkerStoreTest, ASilentServerIsGivenUpWithinTheBound) {
    WirePeer peer(true);
    data::RemoteClient client;
    client.CreateClient("127.0.0.1", peer.Port(), 600000);
    lesson::LearnerFilesStore store(dir.path.string(), groups, users, &client);
    std::vector<bool> waits;
    {
        data::RemoteWorker worker(client, posted.Poster(),
                                  [&](bool waiting) { waits.push_back(waiting); });
        store.SetWorker(&worker, std::chrono::milliseconds(400));
        data::UserRecord user, on_server;
        ASSERT_TRUE(store.ReadUser(1, 1, user));
        const platform::Status opened =
            store.OpenRemote("Demo", data::GroupTemplate(), user, on_server);
        EXPECT_EQ(opened.code(), ENOTCONN) << opened.Text();
        user.Total = 77;
        const lesson::RecordSave save = store.RewriteUser(user);
        EXPECT_TRUE(save.local.ok()) << save.local.Text();
        data::UserRecord local;
        ASSERT_TRUE(store.ReadUser(1, 1, local));
        EXPECT_EQ(local.Total, 77);
        EXPECT_FALSE(store.Settle(true));
        EXPECT_GT(worker.Pending(), 0u);
    }
    posted.RunAll();
    // The status bar was told that the server is waited for.
    ASSERT_FALSE(waits.empty());
    EXPECT_TRUE(waits.front());
}

// The real server stops mid-session and comes back: the saves made meanwhile are kept here,
// the outage shows at Settle, and the next save reaches the server.
TEST_F(RemoteStoreTest, TheWorkerCatchesUpWithAServerRestartedMidSession) {
    client_.SetRetryInterval(0);
    client_.SetTimeoutLimit(1);
    PostedCalls posted;
    lesson::LearnerFilesStore store(local_, groups_, users_, &client_);
    data::RemoteWorker worker(client_, posted.Poster());
    store.SetWorker(&worker, std::chrono::milliseconds(5000));
    data::UserRecord user;
    ASSERT_TRUE(store.ReadUser(1, 2, user));
    ASSERT_EQ(OpenSession(store, user).Text(), "");
    const int port = server_.port;
    server_.Stop();
    user.Total = 17;
    EXPECT_TRUE(store.RewriteUser(user).local.ok());
    EXPECT_FALSE(store.Settle(true));
    ASSERT_TRUE(server_.Start((dir_.path / "server").string(), {"--port", std::to_string(port)}))
        << server_.Log();
    user.Total = 18;
    EXPECT_TRUE(store.RewriteUser(user).local.ok());
    EXPECT_TRUE(store.Settle(true));
    EXPECT_EQ(ServerUser(1, 2).Total, 18);
    posted.RunAll();
}
