// The data server on loopback: the client's whole exchange, hostile requests, names that try
// to leave the served folder, transfers cut short, and many players at once.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "RawSocket.h"
#include "data/DataAccess.h"
#include "data/GroupRecord.h"
#include "data/RemoteClient.h"
#include "isam/Check.h"
#include "lesson/RemoteData.h"
#include "support/ServerFixture.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using data::RemoteClient;
using data::RequestRecord;

constexpr const char* kUsers = "?:\\DATA\\DEMO\\GB\\USERS";

struct ServedCourse : ::testing::Test {
    support::TempFolder top;
    std::string root = (top.path / "course").string();
    support::ServerProcess server;

    void SetUp() override {
        support::MakeLearners(root, 2, 3);
        ASSERT_TRUE(server.Start(root));
    }
    std::string Learner(const std::string& name) const { return root + "/DATA/DEMO/GB/" + name; }
    void Connect(RemoteClient& client) const {
        client.CreateClient("127.0.0.1", server.port, 5000);
        ASSERT_TRUE(client.Connect()) << client.LastFailure();
    }
    // Reads user g:u through the client and returns its record.
    static data::UserRecord ReadUser(RemoteClient& client, int g, int u) {
        data::UserRecord key = data::UserTemplate();
        key.GroupNo = g;
        key.UserNo = u;
        uint8_t b[data::kUserRecordSize];
        data::EncodeUserRecord(key, b);
        client.SelectKey(data::kUserKey);
        EXPECT_EQ(client.RemoteStart(0, b, sizeof b, isam::EQUAL), 0) << client.LastError();
        EXPECT_EQ(client.RemoteRead(b, sizeof b, isam::EQUAL), 0) << client.LastError();
        return data::DecodeUserRecord(b);
    }
    // Opens the USERS file on s and holds the learner of key there, as a player's session does.
    static bool Hold(RawSocket& s, const data::UserRecord& key) {
        if (s.Ask(Request(data::kIsOpen, kUsers, isam::OPEN_INOUT)).first < 0) return false;
        RequestRecord start = Request(data::kIsStart, "", isam::EQUAL);
        data::BuildKey(data::kUserKey, start.key);
        data::EncodeUserRecord(key, start.data.data());
        RequestRecord hold = Request(data::kIsRead, "", isam::EQUAL | isam::LOCK_KEEP);
        data::EncodeUserRecord(key, hold.data.data());
        return s.Ask(start).first == 0 && s.Ask(hold).first == 0;
    }
};

TEST_F(ServedCourse, APlayersWholeExchange) {
    RemoteClient client;
    Connect(client);
    EXPECT_EQ(client.SignOn("Demo Course", "Day", "Ann"), 0);
    EXPECT_GE(client.RemoteOpen(kUsers, isam::OPEN_INOUT | isam::LOCKMODE_EXCL), 0);

    data::UserRecord u = ReadUser(client, 2, 3);
    EXPECT_EQ(u.UserName, "user 2:3");
    u.Total = 77;
    u.StepCount = 106;  // a score file of 16 + 24 * 106 = 2560 bytes
    uint8_t b[data::kUserRecordSize];
    data::EncodeUserRecord(u, b);
    EXPECT_EQ(client.RemoteRewriteCurrent(b, sizeof b), 0);

    // An exclusive open by the player did not lock the local files.
    data::DataAccess local;
    const platform::Status opened = local.Open(Learner("USERS"), isam::OPEN_INOUT);
    ASSERT_TRUE(opened.ok()) << opened.Text();
    ASSERT_TRUE(local.SelectKey(data::kUserKey).ok());
    ASSERT_TRUE(local.Start(0, b, isam::EQUAL).ok());
    ASSERT_TRUE(local.Read(b, isam::EQUAL).ok());
    EXPECT_EQ(data::DecodeUserRecord(b).Total, 77);
    ASSERT_TRUE(local.Close().ok());

    // Fetch: the same bytes, over several blocks for the index.
    const std::string fetched = (top.path / "copy/USERS.idx").string();
    EXPECT_EQ(client.GetFile(fetched, "?:\\DATA\\DEMO\\GB\\USERS.idx"), 0);
    EXPECT_EQ(support::TempFolder::Read(fetched), support::TempFolder::Read(Learner("USERS.idx")));
    EXPECT_FALSE(fs::exists(fetched + ".part"));

    // Send: a score file of 2.5 blocks, then one of exactly one block.
    std::string score(2560, '\0');
    for (size_t i = 0; i < score.size(); ++i) score[i] = char(i * 7);
    const std::string local_score = top.Write("SCO003.002", score);
    EXPECT_EQ(client.SendFile("?:\\DATA\\DEMO\\GB\\SCO003.002", local_score), 0);
    std::string history;  // five answers and 132 abandons: 1024 bytes
    for (int i = 0; i < 5; ++i) history += "#F1 E1 Q1 2:2 N3 D1\n";
    for (int i = 0; i < 132; ++i) history += "~-1:-1\n";
    ASSERT_EQ(history.size(), 1024u);
    const std::string hist = top.Write("HST003.002", history);
    EXPECT_EQ(client.SendFile("?:\\DATA\\DEMO\\GB\\HST003.002", hist), 0);
    // The next request completes a transfer whose last block was full.
    ReadUser(client, 1, 1);
    EXPECT_EQ(support::TempFolder::Read(Learner("SCO003.002")), score);
    EXPECT_EQ(support::TempFolder::Read(Learner("HST003.002")), history);

    const int counter = client.RequestCounter();
    const std::string empty = top.Write("SCO001.001", "");
    EXPECT_EQ(client.SendFile("?:\\DATA\\DEMO\\GB\\SCO001.001", empty), -1);
    EXPECT_EQ(client.RequestCounter(), counter) << "an empty file sends nothing";

    client.Disconnect();
    EXPECT_EQ(server.Stop(), 0);
    const std::string log = server.Log();
    EXPECT_NE(log.find("sign-on: Demo Course / Day / Ann"), std::string::npos) << log;
    EXPECT_NE(
        log.find("[Demo Course / Day / Ann] received ?:\\DATA\\DEMO\\GB\\SCO003.002 (2560 bytes)"),
        std::string::npos)
        << log;
    std::vector<std::string> problems;
    EXPECT_TRUE(isam::CheckFiles(Learner("USERS").c_str(), &problems));
}

TEST_F(ServedCourse, HostileRequestsAreRefusedAndTheConnectionKept) {
    RawSocket s(server.port);
    ASSERT_GE(s.fd, 0);
    RequestRecord no_nul = Request(data::kIsOpen);
    no_nul.name.fill('A');
    RequestRecord send0 = Request(data::kIsSendFile, "?:\\DATA\\DEMO\\GB\\SCO001.001");
    send0.block = 1;
    RequestRecord send_big = send0;
    send_big.length = 1025;
    RequestRecord send_skip = send0;
    send_skip.block = 3;
    send_skip.length = 10;
    RequestRecord get0 = Request(data::kIsGetFile, "?:\\DATA\\DEMO\\GB\\USERS.dat");
    get0.block = 0;
    const struct {
        const char* what;
        RequestRecord r;
        int error;
    } cases[] = {
        {"unknown code", Request(99), isam::kBadArgument},
        {"a code the client never sends", Request(30, kUsers), isam::kBadArgument},
        {"read before open", Request(data::kIsRead, "", isam::FIRST), isam::kNotOpen},
        {"start before open", Request(data::kIsStart), isam::kNotOpen},
        {"rewrite before open", Request(data::kIsRewCurr), isam::kNotOpen},
        {"name without NUL", no_nul, isam::kBadArgument},
        {"block of length 0", send0, isam::kBadArgument},
        {"block too long", send_big, isam::kBadArgument},
        {"block 3 first", send_skip, isam::kBadArgument},
        {"block 0", get0, isam::kBadArgument},
    };
    for (const auto& c : cases) {
        const auto [result, error] = s.Ask(c.r);
        EXPECT_EQ(result, -1) << c.what;
        EXPECT_EQ(error, c.error) << c.what;
    }
    EXPECT_GE(s.Ask(Request(data::kIsOpen, kUsers, isam::OPEN_INOUT)).first, 0);
    EXPECT_EQ(s.Ask(Request(data::kIsRewCurr)).second, isam::kNoCurrent) << "nothing read yet";
    RequestRecord bad_key = Request(data::kIsStart);
    bad_key.key.nparts = 9;
    EXPECT_EQ(s.Ask(bad_key).second, isam::kBadKey);
    EXPECT_EQ(s.Ask(Request(data::kIsRead, "", 0x77)).second, isam::kBadArgument);

    // Half a record, then the end: dropped, and the server serves on.
    uint8_t half[800] = {};
    s.Send(half, sizeof half);
    shutdown(s.fd, SHUT_WR);
    RawSocket other(server.port);
    EXPECT_EQ(other.Ask(Request(data::kSignOn)).first, 0);
}

TEST_F(ServedCourse, NamesStayInsideTheServedFolder) {
    fs::create_directories(top.path / "outside");
    top.Write("outside/USERS.dat", "secret");
    fs::create_symlink(top.path / "outside", fs::path(root) / "LINK");
    fs::create_symlink(top.path / "outside/USERS.dat", fs::path(root) / "DATA/DEMO/GB/GROUP.old");
    top.Write("course/DATA/DEMO/GB/SCO001.001", "old");
    RawSocket s(server.port);
    const char* names[] = {
        "?:\\..\\outside\\USERS",
        "?:\\DATA\\..\\..\\outside\\USERS",
        "?:\\LINK\\USERS",
        "C:\\DATA\\DEMO\\GB\\USERS",
        "/etc/passwd",
        "?:\\\\etc\\passwd",
        "?:\\DATA\\DEMO\\GB\\GROUP.old",
        "DATA\\DEMO\\GB\\USERS",
        "?:/DATA/DEMO/GB/USERS",
    };
    for (const char* name : names) {
        for (int code : {data::kIsOpen, data::kIsGetFile}) {
            RequestRecord r = Request(code, name, isam::OPEN_INPUT);
            r.block = 1;
            const auto [result, error] = s.Ask(r);
            EXPECT_EQ(result, -1) << name << " code " << code;
            EXPECT_EQ(error, EACCES) << name << " code " << code;
        }
    }
    const struct {
        const char* name;
        int error;
    } sends[] = {
        {"?:\\LINK\\SCO001.001", EACCES},
        {"?:\\DATA\\SCO001.001", EACCES},           // not a learner folder
        {"?:\\DATA\\DEMO\\GB\\USERS.dat", EACCES},  // not a score or history name
        {"?:\\DATA\\DEMO\\GB\\..\\GB\\SCO001.001", EACCES},
    };
    for (const auto& c : sends) {
        RequestRecord r = Request(data::kIsSendFile, c.name);
        r.block = 1;
        r.length = 3;
        EXPECT_EQ(s.Ask(r).second, c.error) << c.name;
    }
    RequestRecord get = Request(data::kIsGetFile, "?:\\DATA\\DEMO\\GB\\SCO001.001");
    get.block = 1;
    EXPECT_EQ(s.Ask(get).second, EACCES) << "only learner files are served";
    EXPECT_EQ(support::TempFolder::Read((top.path / "outside/USERS.dat").string()), "secret");
    EXPECT_EQ(support::TempFolder::Read(Learner("SCO001.001")), "old");
}

TEST_F(ServedCourse, ATransferCutShortLeavesTheOldFileWhole) {
    top.Write("course/DATA/DEMO/GB/SCO002.001", "old score");
    for (bool reset : {false, true}) {
        RawSocket s(server.port);
        RequestRecord r = Request(data::kIsSendFile, "?:\\DATA\\DEMO\\GB\\SCO002.001");
        r.block = 1;
        r.length = 1024;
        r.data.fill('n');
        EXPECT_EQ(s.Ask(r).first, 0);
        if (reset) {
            linger l{1, 0};  // the connection ends with a reset
            setsockopt(s.fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        } else {
            uint8_t part[500] = {};  // block 2 cut inside its record
            s.Send(part, sizeof part);
        }
        close(s.fd);
        s.fd = -1;
    }
    // The server has dropped both; a request on a new connection is answered after that.
    RawSocket s(server.port);
    EXPECT_EQ(s.Ask(Request(data::kSignOn)).first, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(support::TempFolder::Read(Learner("SCO002.001")), "old score");
    for (const auto& e : fs::directory_iterator(fs::path(root) / "DATA/DEMO/GB"))
        EXPECT_EQ(e.path().string().find(".part"), std::string::npos) << e.path();
}

TEST_F(ServedCourse, ManyPlayersRewritingTheirOwnUsersLoseNothing) {
    constexpr int kRounds = 25;
    std::vector<std::thread> players;
    std::atomic<int> failures{0};
    for (int g = 1; g <= 2; ++g) {
        for (int u = 1; u <= 3; ++u) {
            players.emplace_back([&, g, u] {
                RemoteClient client;
                client.CreateClient("127.0.0.1", server.port, 5000);
                if (!client.Connect() || client.SignOn("Demo", "g", "u") < 0 ||
                    client.RemoteOpen(kUsers, isam::OPEN_INOUT | isam::LOCKMODE_EXCL) < 0) {
                    ++failures;
                    return;
                }
                for (int i = 0; i < kRounds; ++i) {
                    data::UserRecord rec = ReadUser(client, g, u);
                    rec.Total += 1;
                    rec.TotalWorth = u;
                    uint8_t b[data::kUserRecordSize];
                    data::EncodeUserRecord(rec, b);
                    if (client.RemoteRewriteCurrent(b, sizeof b) != 0) ++failures;
                }
            });
        }
    }
    for (auto& t : players) t.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(server.Stop(), 0);

    data::DataAccess local;
    ASSERT_TRUE(local.Open(Learner("USERS"), isam::OPEN_INPUT).ok());
    std::vector<data::UserRecord> all;
    ASSERT_TRUE(data::ReadAllUsers(local, all).ok());
    ASSERT_EQ(all.size(), 6u);
    for (const auto& u : all) {
        EXPECT_EQ(u.Total, kRounds) << u.UserName;
        EXPECT_EQ(u.TotalWorth, u.UserNo) << u.UserName;
    }
    ASSERT_TRUE(local.Close().ok());
    std::vector<std::string> problems;
    EXPECT_TRUE(isam::CheckFiles(Learner("USERS").c_str(), &problems))
        << (problems.empty() ? "" : problems[0]);
}

}  // namespace

namespace {

// The start-up fetch's client: course paths become "?:\" names relative to the course folder,
// and a fresh machine receives the files.
TEST_F(ServedCourse, StartUpFetchNamesFilesRelativeToTheCourseFolder) {
    const fs::path player = top.path / "player";
    fs::create_directories(player);
    const std::string root = player.string();
    EXPECT_EQ(data::RemoteFileName(root, "DATA\\DEMO\\GB\\USERS.dat"),
              "?:\\DATA\\DEMO\\GB\\USERS.dat");
    EXPECT_EQ(data::RemoteFileName(root, "C:DATA/DEMO/GB/GROUP.idx"),
              "?:\\DATA\\DEMO\\GB\\GROUP.idx");
    EXPECT_EQ(data::RemoteFileName(root, (player / "DATA/X").string()), "?:\\DATA\\X");
    lesson::ClientRemoteData remote(root);
    ASSERT_TRUE(remote.Connect("127.0.0.1", server.port, 5000)) << remote.LastError();
    for (const char* name : {"GROUP.dat", "GROUP.idx", "USERS.dat", "USERS.idx"})
        EXPECT_TRUE(remote.FetchFile(std::string("DATA\\DEMO\\GB\\") + name)) << name;
    EXPECT_FALSE(remote.FetchFile("DATA\\DEMO\\GB\\SCO001.001")) << "not a learner file";
    EXPECT_NE(remote.LastError().find("13"), std::string::npos) << remote.LastError();
    for (const char* name : {"GROUP.dat", "GROUP.idx", "USERS.dat", "USERS.idx"})
        EXPECT_EQ(support::TempFolder::Read((player / "DATA/DEMO/GB" / name).string()),
                  support::TempFolder::Read(Learner(name)))
            << name;
    EXPECT_NE(remote.Client(), nullptr);
}

}  // namespace

namespace {

// A read that waits for another player's record lock waits on the server, bounded, while the
// other connections are served.
TEST_F(ServedCourse, ALockWaitIsBoundedAndHoldsNobodyUp) {
    RawSocket holder(server.port), waiter(server.port), other(server.port);
    // The group file: a kept lock on a learner's record is a hold of its own (below).
    data::GroupRecord key = data::GroupTemplate();
    {
        data::DataAccess groups;
        ASSERT_TRUE(groups.Open(Learner("GROUP"), isam::OPEN_INOUT).ok());
        uint8_t g[data::kGroupRecordSize];
        data::EncodeGroupRecord(key, g);
        ASSERT_TRUE(groups.Write(g).ok());
    }
    RequestRecord start = Request(data::kIsStart, "", isam::EQUAL);
    data::BuildKey(data::kGroupKey, start.key);
    data::EncodeGroupRecord(key, start.data.data());
    for (RawSocket* s : {&holder, &waiter}) {
        ASSERT_GE(
            s->Ask(Request(data::kIsOpen, "?:\\DATA\\DEMO\\GB\\GROUP", isam::OPEN_INOUT)).first, 0);
        ASSERT_EQ(s->Ask(start).first, 0);
    }
    RequestRecord read = Request(data::kIsRead, "", isam::CURRENT | isam::LOCK_KEEP);
    ASSERT_EQ(holder.Ask(read).first, 0);

    read.mode = isam::CURRENT | isam::LOCK_KEEP | isam::LOCK_WAIT;
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(waiter.Send(read));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(other.Ask(Request(data::kSignOn)).first, 0) << "served while the other waits";
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1500));
    RequestRecord reply;
    ASSERT_TRUE(waiter.Receive(reply));
    EXPECT_EQ(reply.result, -1);
    EXPECT_EQ(reply.error, isam::kRecordLocked);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1900));
}

// One session per learner across the server's connections: a player's kept-lock read of a
// learner holds them until its connection ends, cleanly or not; meanwhile another player can
// neither hold nor rewrite them.
TEST_F(ServedCourse, ALearnerHeldByOnePlayerIsRefusedToAnother) {
    RemoteClient second;
    Connect(second);
    ASSERT_EQ(second.SignOn("Demo", "Day", "second"), 0);
    data::UserRecord key = data::UserTemplate();
    key.GroupNo = 2;
    key.UserNo = 3;
    uint8_t b[data::kUserRecordSize];
    for (bool clean : {true, false}) {
        SCOPED_TRACE(clean ? "clean end" : "cut");
        ASSERT_GE(second.RemoteOpen(kUsers, isam::OPEN_INOUT), 0);  // ends its own hold
        RawSocket first(server.port);
        ASSERT_TRUE(Hold(first, key));

        data::EncodeUserRecord(key, b);
        EXPECT_EQ(second.HoldLearner(b, sizeof b), -1);
        EXPECT_EQ(second.LastError(), isam::kRecordLocked);
        data::UserRecord seen = ReadUser(second, 2, 3);  // reading is free
        seen.Total = 5;
        data::EncodeUserRecord(seen, b);
        EXPECT_EQ(second.RemoteRewriteCurrent(b, sizeof b), -1);
        EXPECT_EQ(second.LastError(), isam::kRecordLocked);

        // The server closes its side once it has taken the end in, before any later request.
        if (!clean) {
            uint8_t half[800] = {};
            first.Send(half, sizeof half);
        }
        shutdown(first.fd, SHUT_WR);
        char byte;
        ASSERT_EQ(read(first.fd, &byte, 1), 0);
        data::EncodeUserRecord(key, b);
        EXPECT_EQ(second.HoldLearner(b, sizeof b), 0) << second.LastError();
        EXPECT_EQ(data::DecodeUserRecord(b).UserName, "user 2:3");
    }
    second.Disconnect();
    server.Stop();
    const std::string log = server.Log();
    EXPECT_NE(log.find("[Demo / Day / second] refused: group 2 user 3 is held by 127.0.0.1:"),
              std::string::npos)
        << log;
}

// A cut upload never replaces a learner's file: a score file whose size does not fit the
// learner's step count, a history cut mid-line, an upload larger than any whole file.
TEST_F(ServedCourse, ACutOrOversizedUploadLeavesTheOldFile) {
    RemoteClient client;
    Connect(client);
    ASSERT_EQ(client.SignOn("Demo", "Day", "Ann"), 0);
    ASSERT_GE(client.RemoteOpen(kUsers, isam::OPEN_INOUT), 0);
    data::UserRecord u = ReadUser(client, 2, 3);
    u.StepCount = 100;  // a whole score file: 2416 bytes
    uint8_t b[data::kUserRecordSize];
    data::EncodeUserRecord(u, b);
    ASSERT_EQ(client.RemoteRewriteCurrent(b, sizeof b), 0);
    (void)top.Write("course/DATA/DEMO/GB/SCO003.002", "old scores");
    (void)top.Write("course/DATA/DEMO/GB/HST003.002", "#F1 E1 Q1 1:1 N3 D1\n");

    const struct {
        const char* file;
        std::string bytes;
        int result;
    } cases[] = {
        {"SCO003.002", std::string(1024, 's'), 0},           // one block, then the next request
        {"SCO003.002", std::string(2416 - 1, 's'), -1},      // one byte short
        {"SCO003.002", std::string(2416 + 1024, 's'), -1},   // larger than the learner's file
        {"HST003.002", "#F1 E1 Q2 3:3 N3 D1\n#F1 E1", -1},   // cut mid-line
        {"HST003.002", "#F1 E1 Q2 3:3 N3 D1\nnoise\n", -1},  // not a record
    };
    for (const auto& c : cases) {
        const std::string local = top.Write(std::string("sent/") + c.file, c.bytes);
        EXPECT_EQ(client.SendFile(std::string("?:\\DATA\\DEMO\\GB\\") + c.file, local), c.result)
            << c.file << " " << c.bytes.size();
        ReadUser(client, 1, 1);  // ends a transfer of whole blocks
    }
    client.Disconnect();
    EXPECT_EQ(support::TempFolder::Read(Learner("SCO003.002")), "old scores");
    EXPECT_EQ(support::TempFolder::Read(Learner("HST003.002")), "#F1 E1 Q1 1:1 N3 D1\n");
    for (const auto& e : fs::directory_iterator(root + "/DATA/DEMO/GB"))
        EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos) << e.path();

    // The same transfers whole are taken.
    RemoteClient again;
    Connect(again);
    const std::string whole = top.Write("sent/SCO003.002", std::string(2416, 'w'));
    EXPECT_EQ(again.SendFile("?:\\DATA\\DEMO\\GB\\SCO003.002", whole), 0);  // ends short
    EXPECT_EQ(support::TempFolder::Read(Learner("SCO003.002")), std::string(2416, 'w'));
    server.Stop();
    EXPECT_NE(server.Log().find("dropped ?:\\DATA\\DEMO\\GB\\HST003.002"), std::string::npos)
        << server.Log();
}

TEST(DataServerLimits, IdleAndSurplusConnectionsAreDropped) {
    support::TempFolder top;
    support::MakeLearners(top.path, 1, 1);
    support::ServerProcess server;
    ASSERT_TRUE(server.Start(top.path.string(), {"--idle", "1", "--max-clients", "2"}));
    RawSocket a(server.port), b(server.port);
    EXPECT_EQ(a.Ask(Request(data::kSignOn)).first, 0);
    EXPECT_EQ(b.Ask(Request(data::kSignOn)).first, 0);
    RawSocket surplus(server.port);
    RequestRecord reply;
    EXPECT_TRUE(surplus.Send(Request(data::kSignOn)));
    EXPECT_FALSE(surplus.Receive(reply)) << "a third connection is closed at once";
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    char byte;
    EXPECT_EQ(read(a.fd, &byte, 1), 0) << "silent for longer than --idle";
    RawSocket c(server.port);
    EXPECT_EQ(c.Ask(Request(data::kSignOn)).first, 0) << "room again";
    EXPECT_EQ(server.Stop(), 0);
}

}  // namespace

namespace {

TEST(DataServerLimits, TraceHasALinePerRequestAndReply) {
    support::TempFolder top;
    support::MakeLearners(top.path, 1, 1);
    const std::string trace = (top.path / "server.trace").string();
    support::ServerProcess server;
    ASSERT_TRUE(server.Start(top.path.string(), {"--trace", trace}));
    {
        RawSocket s(server.port);
        RequestRecord r = Request(data::kIsOpen, kUsers, isam::OPEN_INOUT);
        r.request_no = 7;
        EXPECT_GE(s.Ask(r).first, 0);
    }
    EXPECT_EQ(server.Stop(), 0);
    const std::string text = support::TempFolder::Read(trace);
    EXPECT_EQ(text.rfind(data::kRequestTraceHeading, 0), 0u) << text;
    EXPECT_NE(text.find("#RCV#1644#   7#21#-1#  0#   0#?:\\DATA\\DEMO\\GB\\USERS##"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("#SND#1644#   7#21# 0#  0#   0#?:\\DATA\\DEMO\\GB\\USERS##"),
              std::string::npos)
        << text;
}

}  // namespace

namespace {

// A learner file that is a FIFO, a folder or damaged: the request is answered at once with
// what is wrong, other players are served meanwhile, and the log names the file and the cause.
TEST_F(ServedCourse, AFileThatIsNoRegularFileIsRefusedInWordsAndHoldsNobodyUp) {
    ASSERT_EQ(mkfifo(Learner("USERS.bak").c_str(), 0600), 0);
    support::MakeLearners(top.path / "other", 1, 1);
    const fs::path fr = fs::path(root) / "DATA/DEMO/FR";
    fs::rename(top.path / "other/DATA/DEMO/GB", fr);
    fs::remove(fr / "USERS.idx");
    ASSERT_EQ(mkfifo((fr / "USERS.idx").c_str(), 0600), 0);
    fs::remove(Learner("GROUP.lck"));
    fs::create_directory(fs::path(Learner("GROUP.lck")));
    top.Write("course/DATA/DEMO/GB/USERS.idx", std::string(4096, 'x'));

    RawSocket fetcher(server.port);
    RequestRecord get = Request(data::kIsGetFile, "?:\\DATA\\DEMO\\GB\\USERS.bak");
    get.block = 1;
    EXPECT_EQ(fetcher.Ask(get), std::make_pair(-1, platform::kErrorNotRegularFile));
    RawSocket other(server.port);
    EXPECT_EQ(other.Ask(Request(data::kSignOn)).first, 0) << "served after the FIFO";

    const struct {
        const char* name;
        int error;
    } opens[] = {
        {"?:\\DATA\\DEMO\\FR\\USERS", platform::kErrorNotRegularFile},
        {"?:\\DATA\\DEMO\\GB\\GROUP", EISDIR},
        {kUsers, isam::kCorrupt},
    };
    for (const auto& c : opens)
        EXPECT_EQ(other.Ask(Request(data::kIsOpen, c.name, isam::OPEN_INOUT)),
                  std::make_pair(-1, c.error))
            << c.name;

    // The project's client says what is wrong in words.
    RemoteClient client;
    Connect(client);
    EXPECT_EQ(client.GetFile((top.path / "copy").string(), "?:\\DATA\\DEMO\\GB\\USERS.bak"), -1);
    const platform::Status fetched = data::ServerStatus(client, "USERS.bak");
    EXPECT_NE(fetched.Text().find("Not a regular file"), std::string::npos) << fetched.Text();
    const int counter = client.RequestCounter();
    EXPECT_EQ(client.SendFile("?:\\DATA\\DEMO\\GB\\HST001.001", Learner("USERS.bak")), -1);
    EXPECT_EQ(client.LastError(), platform::kErrorNotRegularFile) << "a local FIFO is not sent";
    EXPECT_EQ(client.RequestCounter(), counter);
    EXPECT_EQ(client.RemoteOpen("?:\\DATA\\DEMO\\FR\\USERS", isam::OPEN_INOUT), -1);
    const platform::Status opened = data::ServerStatus(client, "USERS");
    EXPECT_NE(opened.Text().find("Not a regular file"), std::string::npos) << opened.Text();

    server.Stop();
    const std::string log = server.Log();
    const std::string real = fs::canonical(root).string();
    for (const std::string& line :
         {"cannot send " + real + "/DATA/DEMO/GB/USERS.bak: Not a regular file",
          "cannot open " + real + "/DATA/DEMO/FR/USERS.idx: Not a regular file",
          "cannot open " + real + "/DATA/DEMO/GB/GROUP.lck: Is a directory",
          "cannot open " + real + "/DATA/DEMO/GB/USERS: isam file is corrupt"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

// The block that ends an upload the server drops gets the drop's error: the player does not
// believe the file saved.
TEST_F(ServedCourse, TheLastBlockOfADroppedUploadCarriesTheError) {
    RawSocket s(server.port);
    RequestRecord r = Request(data::kIsSendFile, "?:\\DATA\\DEMO\\GB\\SCO001.001");
    r.block = 1;
    r.length = 255;  // learner 1:1 has no steps: no score file of theirs is whole
    EXPECT_EQ(s.Ask(r), std::make_pair(-1, EINVAL));

    RemoteClient client;
    Connect(client);
    for (const char* history : {"#F1 E1 Q1 2:2 N3 D1\n#F1", "#F1 E1 Q1 2:2000000000 N3 D1\n"}) {
        const std::string sent = top.Write("sent/HST001.001", history);
        EXPECT_EQ(client.SendFile("?:\\DATA\\DEMO\\GB\\HST001.001", sent), -1) << history;
        EXPECT_EQ(client.LastError(), EINVAL) << history;
        EXPECT_FALSE(fs::exists(Learner("HST001.001"))) << history;
    }
}

// Text from peers reaches the log converted from the course's code page, with its control
// characters escaped: a newline cannot forge a line.
TEST_F(ServedCourse, PeersTextsAreLoggedAsUtf8WithControlsEscaped) {
    RemoteClient client;
    Connect(client);
    EXPECT_EQ(client.SignOn("Formation DEMO", "\xC9quipe de nuit", "Am\xE9lie\n1.2.3.4 idle"), 0);
    RequestRecord get = Request(data::kIsGetFile, "?:\\DATA\\DEMO\\GB\\USERS.\n5.6.7.8:1 idle");
    get.block = 1;
    RawSocket s(server.port);
    EXPECT_EQ(s.Ask(get).first, -1);
    client.Disconnect();
    server.Stop();
    const std::string log = server.Log();
    EXPECT_NE(
        log.find("sign-on: Formation DEMO / \u00C9quipe de nuit / Am\u00E9lie\\x0A1.2.3.4 idle\n"),
        std::string::npos)
        << log;
    EXPECT_NE(log.find("USERS.\\x0A5.6.7.8:1 idle"), std::string::npos) << log;
    EXPECT_EQ(log.find("\n1.2.3.4"), std::string::npos) << log;
    EXPECT_EQ(log.find("\n5.6.7.8"), std::string::npos) << log;
}

}  // namespace

namespace {

// Two names of one file are one file: a learner held through the language folder is held
// through a link to that folder, or to its USERS file, and their score files are refused too.
TEST_F(ServedCourse, ALinkAliasNamesTheSameHeldLearner) {
    fs::create_directory_symlink("GB", fs::path(root) / "DATA/DEMO/GB2");
    for (const char* ext : {".dat", ".idx"})
        fs::create_symlink(std::string("USERS") + ext, Learner(std::string("USERS2") + ext));
    top.Write("course/DATA/DEMO/GB/SCO001.002", "old");

    RawSocket holder(server.port);
    data::UserRecord key = data::UserTemplate();
    key.GroupNo = 2;
    key.UserNo = 1;
    ASSERT_TRUE(Hold(holder, key));

    for (const char* users : {"?:\\DATA\\DEMO\\GB2\\USERS", "?:\\DATA\\DEMO\\GB\\USERS2"}) {
        RemoteClient other;
        Connect(other);
        ASSERT_EQ(other.SignOn("Demo", "Day", "other"), 0);
        ASSERT_GE(other.RemoteOpen(users, isam::OPEN_INOUT), 0) << users;
        uint8_t b[data::kUserRecordSize];
        data::EncodeUserRecord(key, b);
        EXPECT_EQ(other.HoldLearner(b, sizeof b), -1) << users;
        EXPECT_EQ(other.LastError(), isam::kRecordLocked) << users;
    }
    RawSocket sender(server.port);
    RequestRecord send = Request(data::kIsSendFile, "?:\\DATA\\DEMO\\GB2\\SCO001.002");
    send.block = 1;
    send.length = 16;
    EXPECT_EQ(sender.Ask(send), std::make_pair(-1, int(isam::kRecordLocked)));
    EXPECT_EQ(support::TempFolder::Read(Learner("SCO001.002")), "old");
}

}  // namespace

namespace {

// The server names at start the learners' files every local account can read, and only those.
TEST(DataServerStart, WarnsOfLearnersFilesEveryAccountCanRead) {
    for (const fs::perms files : {fs::perms(0644), fs::perms(0640)}) {
        support::TempFolder top;
        const fs::path root = top.path / "course";
        support::MakeLearners(root, 1, 1);
        top.Write("course/DATA/DEMO/GB/SCO001.001", "scores");
        top.Write("course/DATA/DEMO/GB/SESSION.LCK", "");
        for (const fs::path& folder :
             {top.path, root, root / "DATA", root / "DATA/DEMO", root / "DATA/DEMO/GB"})
            fs::permissions(folder, fs::perms(0755));
        for (const auto& e : fs::directory_iterator(root / "DATA/DEMO/GB"))
            fs::permissions(e.path(), files);
        support::ServerProcess server;
        ASSERT_TRUE(server.Start(root.string()));
        EXPECT_EQ(server.Stop(), 0);
        const std::string log = server.Log();
        const std::string gb = fs::canonical(root / "DATA/DEMO/GB").string();
        if (files == fs::perms(0644)) {
            EXPECT_NE(log.find("every local account can read "), std::string::npos) << log;
            for (const char* name : {"GROUP.dat", "USERS.idx", "SCO001.001"})
                EXPECT_NE(log.find(gb + "/" + name), std::string::npos) << name << "\n" << log;
            EXPECT_EQ(log.find("SESSION.LCK"), std::string::npos) << "a lock file holds no data";
        } else {
            EXPECT_EQ(log.find("every local account"), std::string::npos) << log;
        }
    }
}

}  // namespace

namespace {

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Whether the server closed s without answering a request.
bool Refused(RawSocket& s) {
    RequestRecord reply;
    return !s.Send(Request(data::kSignOn)) || !s.Receive(reply);
}

// Idle connections cannot fill the server: one address gets a share of the places, a full
// server makes room by closing a connection silent for long, every refusal is logged (one line
// per reason every few seconds), and unfinished uploads of all connections have a bound.
TEST(DataServerLimits, IdleConnectionsCannotLockPlayersOut) {
    support::TempFolder top;
    support::MakeLearners(top.path, 1, 1);
    {
        support::ServerProcess server;
        ASSERT_TRUE(server.Start(top.path.string(), {"--max-per-address", "2"}));
        RawSocket a(server.port), b(server.port);
        EXPECT_EQ(a.Ask(Request(data::kSignOn)).first, 0);
        EXPECT_EQ(b.Ask(Request(data::kSignOn)).first, 0);
        RawSocket c(server.port), d(server.port);
        EXPECT_TRUE(Refused(c)) << "a third connection from one address";
        EXPECT_TRUE(Refused(d));
        server.Stop();
        const std::string log = server.Log();
        EXPECT_NE(log.find("refused: 2 connections from 127.0.0.1 already"), std::string::npos)
            << log;
        EXPECT_EQ(Count(log, "refused:"), 1u) << "one line for refusals close together\n" << log;
    }
    {
        support::ServerProcess server;
        ASSERT_TRUE(server.Start(top.path.string(), {"--max-clients", "2", "--full-idle", "2"}));
        RawSocket a(server.port), b(server.port);
        EXPECT_EQ(a.Ask(Request(data::kSignOn)).first, 0);
        EXPECT_EQ(b.Ask(Request(data::kSignOn)).first, 0);
        RawSocket early(server.port);
        EXPECT_TRUE(Refused(early)) << "full, and nobody silent for long";
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
        EXPECT_EQ(b.Ask(Request(data::kSignOn)).first, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
        RawSocket late(server.port);
        EXPECT_EQ(late.Ask(Request(data::kSignOn)).first, 0) << "room made for it";
        char byte;
        EXPECT_EQ(read(a.fd, &byte, 1), 0) << "the longest silent was closed";
        EXPECT_EQ(b.Ask(Request(data::kSignOn)).first, 0);
        server.Stop();
        const std::string log = server.Log();
        EXPECT_NE(log.find("refused: the server is full (2 connections"), std::string::npos) << log;
        EXPECT_NE(log.find("silent for 2 s while the server is full, dropped for 127.0.0.1:"),
                  std::string::npos)
            << log;
    }
    {
        support::ServerProcess server;
        ASSERT_TRUE(server.Start(top.path.string(), {"--upload-space", "1"}));
        // Blocks of a history upload that never ends, sent until one is refused.
        const auto upload = [](RawSocket& s, int blocks) {
            RequestRecord r = Request(data::kIsSendFile, "?:\\DATA\\DEMO\\GB\\HST001.001");
            r.length = 1024;
            r.data.fill('~');
            for (r.block = 1; r.block <= blocks; ++r.block) {
                const auto [result, error] = s.Ask(r);
                if (result != 0) return std::make_pair(r.block, error);
            }
            return std::make_pair(0, 0);
        };
        RawSocket a(server.port), b(server.port);
        EXPECT_EQ(upload(a, 700), std::make_pair(0, 0));
        EXPECT_EQ(upload(b, 700), std::make_pair(1024 - 700 + 1, ENOSPC));
        close(a.fd);  // its upload is dropped: the space is free again
        a.fd = -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        RawSocket c(server.port);
        EXPECT_EQ(upload(c, 700), std::make_pair(0, 0));
        server.Stop();
        EXPECT_NE(server.Log().find("the unfinished uploads of all players take the 1048576 bytes"),
                  std::string::npos)
            << server.Log();
    }
}

}  // namespace

namespace {

// A rewrite keeps the learner it replaces: moving a held learner's record to another key (which
// would take them from the session holding them) or an unheld one's onto another learner is
// refused, and the records stay as they were.
TEST_F(ServedCourse, ARewriteCannotMoveALearnerToAnotherKey) {
    RawSocket holder(server.port);
    data::UserRecord held = data::UserTemplate();
    held.GroupNo = 2;
    held.UserNo = 1;
    ASSERT_TRUE(Hold(holder, held));
    RemoteClient other;
    Connect(other);
    ASSERT_EQ(other.SignOn("Demo", "Day", "other"), 0);
    ASSERT_GE(other.RemoteOpen(kUsers, isam::OPEN_INOUT), 0);
    for (const auto& [g, u, to_g, to_u] : {std::array{2, 1, 9, 9}, std::array{1, 1, 1, 2}}) {
        data::UserRecord moved = ReadUser(other, g, u);
        moved.GroupNo = to_g;
        moved.UserNo = to_u;
        uint8_t b[data::kUserRecordSize];
        data::EncodeUserRecord(moved, b);
        EXPECT_EQ(other.RemoteRewriteCurrent(b, sizeof b), -1) << g << ":" << u;
        EXPECT_EQ(other.LastError(), isam::kPrimaryKey) << g << ":" << u;
    }
    EXPECT_EQ(ReadUser(other, 2, 1).UserName, "user 2:1");
    EXPECT_EQ(ReadUser(other, 1, 2).UserName, "user 1:2");
    EXPECT_EQ(ReadUser(other, 1, 1).UserName, "user 1:1");
    RequestRecord again = Request(data::kIsRead, "", isam::CURRENT);
    EXPECT_EQ(holder.Ask(again).first, 0) << "the holder still reads its learner";
    other.Disconnect();
    server.Stop();
    EXPECT_NE(
        server.Log().find("refused a rewrite: it would move group 2 user 1 to group 9 user 9"),
        std::string::npos)
        << server.Log();
}

}  // namespace
