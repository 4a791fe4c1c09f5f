// The data server's sessions driven request by request over a small learner folder: uploads
// that replace a learner's file only when whole, fetches served from one snapshot, and one
// session per learner across the sessions of a server.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ClientSession.h"
#include "LearnerHolds.h"
#include "LogText.h"
#include "NameMap.h"
#include "data/DataAccess.h"
#include "data/LearnerFiles.h"
#include "data/RequestRecord.h"
#include "data/UserRecord.h"
#include "isam/Isam.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using data::RequestRecord;
using server::ClientSession;

constexpr const char* kRemote = "?:\\DATA\\DEMO\\GB\\";

RequestRecord Request(int code, const std::string& name = "", int mode = 0) {
    RequestRecord r;
    r.code = code;
    r.SetName(name);
    r.mode = mode;
    return r;
}

// The reply to r.
RequestRecord Ask(ClientSession& session, RequestRecord r) {
    session.Handle(r);
    return r;
}

// A course with groups 1 and 2 of learners 1 to 3. Learner 2:3 has 100 steps (a whole score
// file of 2416 bytes), learner 2:1 has 42 (exactly one block: 1024 bytes), the others none.
struct Learners : ::testing::Test {
    support::TempFolder top;
    std::string folder = (top.path / "DATA/DEMO/GB").string();
    std::unique_ptr<server::NameMap> names;
    server::LearnerHolds holds;

    void SetUp() override {
        fs::create_directories(folder);
        ASSERT_TRUE(data::BuildGroupFile(folder + "/GROUP").ok());
        ASSERT_TRUE(data::BuildUsersFile(folder + "/USERS").ok());
        const int h = isam::ISOPEN((folder + "/USERS").c_str(), isam::OPEN_INOUT);
        ASSERT_GE(h, 0);
        for (int g = 1; g <= 2; ++g) {
            for (int u = 1; u <= 3; ++u) {
                data::UserRecord r = data::UserTemplate();
                r.GroupNo = g;
                r.UserNo = u;
                r.UserName = "user " + std::to_string(g) + ":" + std::to_string(u);
                r.StepCount = g == 2 && u == 3 ? 100 : g == 2 && u == 1 ? 42 : 0;
                uint8_t b[data::kUserRecordSize];
                data::EncodeUserRecord(r, b);
                ASSERT_EQ(isam::ISWRITE(h, b), 0);
            }
        }
        ASSERT_EQ(isam::ISCLOSE(h), 0);
        names = std::make_unique<server::NameMap>(top.path.string());
    }

    std::string Path(const std::string& name) const { return folder + "/" + name; }
    // Names of the folder's files that are neither the learner files nor listed in keep.
    std::vector<std::string> Strays(const std::vector<std::string>& keep) const {
        std::vector<std::string> strays;
        for (const auto& e : fs::directory_iterator(folder)) {
            const std::string name = e.path().filename().string();
            if (name.rfind("GROUP.", 0) == 0 || name.rfind("USERS.", 0) == 0) continue;
            if (std::find(keep.begin(), keep.end(), name) == keep.end()) strays.push_back(name);
        }
        return strays;
    }
};

// Sends bytes as blocks of file; the reply to the last block sent (the first one refused).
RequestRecord Upload(ClientSession& session, const std::string& file, const std::string& bytes) {
    RequestRecord reply;
    for (size_t at = 0, block = 1; at < bytes.size(); at += 1024, ++block) {
        RequestRecord r = Request(data::kIsSendFile, kRemote + file);
        r.block = int32_t(block);
        r.length = int32_t(std::min<size_t>(1024, bytes.size() - at));
        std::copy_n(bytes.data() + at, size_t(r.length), r.data.begin());
        reply = Ask(session, r);
        if (reply.result < 0) break;
    }
    return reply;
}

std::string History(const std::string& line, size_t bytes) {
    std::string text;
    while (text.size() < bytes) text += line;
    return text;
}

// 1024 bytes of whole lines: five answers and 132 abandons.
std::string HistoryOfOneBlock() {
    std::string text = History("#F1 E1 Q1 2:2 N3 D1\n", 100) + History("~-1:-1\n", 924);
    EXPECT_EQ(text.size(), 1024u);
    return text;
}

enum class Ending { kNextRequest, kCleanEnd, kCutEnd };

// What ends an upload and which uploads replace the learner's file: a file of whole blocks
// has no end mark, so a player killed at a block boundary must not leave a fragment behind.
TEST_F(Learners, AnUploadReplacesTheFileOnlyWhenWhole) {
    const struct {
        const char* what;
        const char* file;
        std::string bytes;
        Ending ending;
        int error;  // of the last block sent: 0 when taken or not yet known to be whole
        bool taken;
        const char* log;  // in the line about the file
    } cases[] = {
        {"a whole score file, ended by its short block", "SCO003.002", std::string(2416, 's'),
         Ending::kCutEnd, 0, true, "received"},
        {"one block of a score file, then a clean end", "SCO003.002", std::string(1024, 's'),
         Ending::kCleanEnd, 0, false, "1024 bytes where 100 steps take 2416"},
        {"one block of a score file, then another request", "SCO003.002", std::string(1024, 's'),
         Ending::kNextRequest, 0, false, "dropped"},
        {"a whole score file of one block, then a clean end", "SCO001.002", std::string(1024, 'w'),
         Ending::kCleanEnd, 0, true, "received"},
        {"a whole score file of one block, then another request", "SCO001.002",
         std::string(1024, 'w'), Ending::kNextRequest, 0, true, "received"},
        {"a whole score file of one block, then a cut", "SCO001.002", std::string(1024, 'w'),
         Ending::kCutEnd, 0, false, "the connection was cut"},
        {"a score file a byte short", "SCO003.002", std::string(2415, 's'), Ending::kCleanEnd,
         EINVAL, false, "2415 bytes where 100 steps take 2416"},
        {"a score file a byte too long", "SCO003.002", std::string(2417, 's'), Ending::kCleanEnd,
         EFBIG, false, "larger than the 2416 bytes"},
        {"a score file of a learner without steps", "SCO002.002", std::string(16, 's'),
         Ending::kCleanEnd, EINVAL, false, "gives no step count"},
        {"a score file of an unknown learner", "SCO009.002", std::string(2416, 's'),
         Ending::kCleanEnd, EINVAL, false, "gives no step count"},
        {"a whole history", "HST003.002", "#F1 E1 Q2 3:3 N3 D1\n~-1:-1\n", Ending::kCutEnd, 0, true,
         "received"},
        {"a whole history of one block, then a clean end", "HST003.002", HistoryOfOneBlock(),
         Ending::kCleanEnd, 0, true, "received"},
        {"a history cut mid-line at a block's end", "HST003.002",
         History("#F1 E1 Q2 3:3 N3 D1\n", 1024).substr(0, 1024), Ending::kCleanEnd, 0, false,
         "the last line has no line end"},
        {"a history whose last line has no end", "HST003.002", "#F1 E1 Q2 3:3 N3 D1\n~-1:-1",
         Ending::kCleanEnd, EINVAL, false, "the last line has no line end"},
        {"a history with a line of noise", "HST003.002", "#F1 E1 Q2 3:3 N3 D1\nnoise\n",
         Ending::kCleanEnd, EINVAL, false, "line 2 is not an answer or abandon record"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string old = "old " + std::string(c.file);
        top.Write(std::string("DATA/DEMO/GB/") + c.file, old);
        testing::internal::CaptureStderr();
        {
            ClientSession session(*names, "peer-a", &holds);
            const RequestRecord reply = Upload(session, c.file, c.bytes);
            EXPECT_EQ(reply.result, c.error ? -1 : 0);
            EXPECT_EQ(reply.error, c.error);
            if (c.ending == Ending::kNextRequest)
                EXPECT_EQ(Ask(session, Request(data::kSignOn)).result, 0);
            else
                session.End(c.ending == Ending::kCleanEnd);
        }
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(support::TempFolder::Read(Path(c.file)), c.taken ? c.bytes : old);
        EXPECT_EQ(Strays({c.file}), std::vector<std::string>{}) << "no temporary left";
        const std::string line = std::string(c.taken ? "received " : "dropped ") + kRemote + c.file;
        EXPECT_NE(log.find("peer-a [] " + line), std::string::npos) << log;
        EXPECT_NE(log.find(c.log), std::string::npos) << log;
        fs::remove(Path(c.file));
    }
}

// A block the server refuses ends its upload unfinished, even when what came before it is
// whole: the player was told the file did not go.
TEST_F(Learners, ARefusedBlockDropsItsUpload) {
    const std::string history = HistoryOfOneBlock() + HistoryOfOneBlock();
    for (int length : {0, 1025}) {
        top.Write("DATA/DEMO/GB/HST003.002", "~-1:-1\n");
        ClientSession session(*names, "peer-a", &holds);
        RequestRecord r = Request(data::kIsSendFile, std::string(kRemote) + "HST003.002");
        r.block = 1;
        r.length = 1024;
        std::copy_n(history.data(), 1024, r.data.begin());
        ASSERT_EQ(Ask(session, r).result, 0);
        r.block = 2;
        r.length = length;
        const RequestRecord reply = Ask(session, r);
        EXPECT_EQ(reply.result, -1) << length;
        EXPECT_EQ(reply.error, isam::kBadArgument) << length;
        session.End(true);
        EXPECT_EQ(support::TempFolder::Read(Path("HST003.002")), "~-1:-1\n") << length;
        EXPECT_EQ(Strays({"HST003.002"}), std::vector<std::string>{}) << length;
    }
}

// No history is allowed to grow without bound: refused at the block past the cap.
TEST_F(Learners, AHistoryPastItsCapIsRefused) {
    top.Write("DATA/DEMO/GB/HST001.001", "~-1:-1\n");
    const std::string block = History("~-1:-1\n", 1024).substr(0, 1024);
    ClientSession session(*names, "peer-a", &holds);
    RequestRecord r = Request(data::kIsSendFile, std::string(kRemote) + "HST001.001");
    r.length = 1024;
    std::copy_n(block.data(), 1024, r.data.begin());
    RequestRecord reply;
    for (r.block = 1; r.block < 100000; ++r.block) {
        reply = Ask(session, r);
        if (reply.result < 0) break;
    }
    EXPECT_EQ(r.block, (16 << 20) / 1024 + 1);
    EXPECT_EQ(reply.error, EFBIG);
    session.End(true);
    EXPECT_EQ(support::TempFolder::Read(Path("HST001.001")), "~-1:-1\n");
    EXPECT_EQ(Strays({"HST001.001"}), std::vector<std::string>{});
}

// What a history file may hold: the lines the player writes, "\n"-ended, and nothing else.
TEST(HistoryProblem, OnlyAnswerAndAbandonLinesAreWhole) {
    const struct {
        std::string text;
        bool whole;
    } cases[] = {
        {"#F1 E2 Q3 4:5 N6 D1\n", true},
        {"#F-1 E2 Q13 -4:-1 N6 \n", true},  // a lesson folder with no name
        {"#F1 E1023 Q1023 77:77 N-2147483648 D1\n", true},
        {"#F1 E1 Q1 2:2000000000 N3 D1\n", false},  // no button, estimate or pick gives it
        {"#F1 E1 Q1 2:7 N3 D1\n", false},
        {"#F1 E1 Q1 2:0 N3 D1\n", false},
        {"#F1 E0 Q1 2:2 N3 D1\n", false},
        {"#F1 E1024 Q1 2:2 N3 D1\n", false},
        {"#F1 E1 Q1024 2:2 N3 D1\n", false},
        {"#F1 E1 Q1 2:2 N2147483648 D1\n", false},
        {"#F99999999999 E1 Q1 2:2 N3 D1\n", false},
        {"~-1:-1\n#F1 E2 Q3 4:5 N6 D1 more\n", true},
        {"", false},
        {"\n", false},
        {"~-1:-1", false},
        {"~-1:-1\n\n", false},
        {"#F1 E2 Q3 4:5 N6 D1\r\n", false},
        {"#F1E2Q3 4:5N6 D1\n", false},
        {"#F1 E2 Q3 4:5 N6\n", false},
        {"#F1 E2 Q3 4: N6 D1\n", false},
        {"#F1 E2 Q3 4:5 N6 D" + std::string(1, '\0') + "1\n", false},
        {"~ -1:-1\n", false},
        {"~-1:-1 \n", false},
        {"~-1:-1:-1\n", false},
        {"~-1:-1\n#F1 E2 Q3 4:5 N6\n", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(server::HistoryProblem(c.text).empty(), c.whole) << '"' << c.text << '"';
}

// Log lines are UTF-8 whatever peers send: the course's code page converted, controls and bytes
// of no character escaped, so that no text can start a line of its own.
TEST(LogText, PeersTextsAndPathsBecomeOneLineOfUtf8) {
    EXPECT_EQ(server::LogText("Am\xE9lie \x80 \x9C"), "Am\u00E9lie \u20AC \u0153");
    EXPECT_EQ(server::LogText("a\nb\rc\x1B[2J\x7F\x81"), "a\\x0Ab\\x0Dc\\x1B[2J\\x7F\\x81");
    EXPECT_EQ(server::LogText("?:\\DATA\\GB"), "?:\\DATA\\GB");
    EXPECT_EQ(server::LogPath("/srv/\u00C9quipe/\u20AC/\U0001F600"),
              "/srv/\u00C9quipe/\u20AC/\U0001F600");
    EXPECT_EQ(server::LogPath("/srv/USERS.\xE9\n"), "/srv/USERS.\\xE9\\x0A");
    EXPECT_EQ(server::LogPath("\xC2\x85 \xE0\x80\x80 \xED\xA0\x80 \xF4\x90\x80\x80 \xC3"),
              "\\xC2\\x85 \\xE0\\x80\\x80 \\xED\\xA0\\x80 \\xF4\\x90\\x80\\x80 \\xC3");
}

// Every block of one fetch, the final empty block included, comes from the copy taken at its
// first block, whatever happens to the file meanwhile; the next fetch sees the new file.
TEST_F(Learners, AFetchIsServedFromOneSnapshotUntilItsEmptyBlock) {
    for (size_t size : {1500u, 2048u, 0u}) {
        SCOPED_TRACE(size);
        const std::string first(size, 'a');
        top.Write("DATA/DEMO/GB/GROUP.bak", first);
        ClientSession session(*names, "peer-a", &holds);
        RequestRecord get = Request(data::kIsGetFile, std::string(kRemote) + "GROUP.bak");
        std::string got;
        for (get.block = 1; get.block < 10; ++get.block) {
            const RequestRecord reply = Ask(session, get);
            ASSERT_EQ(reply.result, 0);
            ASSERT_LE(reply.length, 1024);
            got.append(reinterpret_cast<const char*>(reply.data.data()), size_t(reply.length));
            if (reply.length == 0) break;
            if (get.block == 1) {
                top.Write("DATA/DEMO/GB/GROUP.bak", std::string(5000, 'b'));
                EXPECT_EQ(Ask(session, Request(data::kSignOn)).result, 0) << "between blocks";
            }
        }
        EXPECT_EQ(got, first);
        EXPECT_EQ(get.block, int(size + 1023) / 1024 + 1) << "the empty block ends it";
        top.Write("DATA/DEMO/GB/GROUP.bak", std::string(5000, 'b'));
        get.block = 2;
        const RequestRecord next = Ask(session, get);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(next.data.data()), 1024),
                  std::string(1024, 'b'))
            << "a new copy after the empty block";
        get.block = 1;
        const RequestRecord again = Ask(session, get);
        EXPECT_EQ(again.length, 1024);
        EXPECT_EQ(again.data[0], 'b');
    }
}

// A player's session over USERS: holds a learner by a kept-lock read.
struct Player {
    ClientSession session;
    Player(const server::NameMap& names, const std::string& peer, server::LearnerHolds& holds)
        : session(names, peer, &holds) {
        EXPECT_GE(Open(), 0);
    }
    int Open() {
        return Ask(session, Request(data::kIsOpen, std::string(kRemote) + "USERS", 2)).result;
    }
    // Reads learner g:u (held when keep); the reply.
    RequestRecord Read(int g, int u, bool keep) {
        data::UserRecord key = data::UserTemplate();
        key.GroupNo = g;
        key.UserNo = u;
        RequestRecord start = Request(data::kIsStart, "", isam::EQUAL);
        data::BuildKey(data::kUserKey, start.key);
        data::EncodeUserRecord(key, start.data.data());
        EXPECT_EQ(Ask(session, start).result, 0);
        RequestRecord read = Request(data::kIsRead, "", isam::EQUAL | (keep ? isam::LOCK_KEEP : 0));
        data::EncodeUserRecord(key, read.data.data());
        return Ask(session, read);
    }
    int Hold(int g, int u) { return Read(g, u, true).error; }
    // Reads g:u and writes it back with Total; the rewrite's reply.
    RequestRecord Rewrite(int g, int u, int total) {
        RequestRecord read = Read(g, u, false);
        EXPECT_EQ(read.result, 0);
        data::UserRecord rec = data::DecodeUserRecord(read.data.data());
        rec.Total = total;
        RequestRecord r = Request(data::kIsRewCurr);
        data::EncodeUserRecord(rec, r.data.data());
        return Ask(session, r);
    }
};

TEST_F(Learners, ALearnerHeldByOneSessionIsRefusedToAnother) {
    Player a(*names, "peer-a", holds), b(*names, "peer-b", holds);
    const RequestRecord held = a.Read(2, 3, true);
    ASSERT_EQ(held.result, 0);
    EXPECT_EQ(data::DecodeUserRecord(held.data.data()).UserName, "user 2:3");

    testing::internal::CaptureStderr();
    const RequestRecord refused = b.Read(2, 3, true);
    const RequestRecord rewrite = b.Rewrite(2, 3, 5);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(refused.result, -1);
    EXPECT_EQ(refused.error, isam::kRecordLocked);
    EXPECT_EQ(refused.data, decltype(refused.data){}) << "no record data with a refusal";
    EXPECT_EQ(rewrite.result, -1);
    EXPECT_EQ(rewrite.error, isam::kRecordLocked);
    EXPECT_NE(log.find("peer-b [] refused: group 2 user 3 is held by peer-a"), std::string::npos)
        << log;
    EXPECT_NE(log.find("peer-b [] refused a rewrite: group 2 user 3 is held by peer-a"),
              std::string::npos)
        << log;
    EXPECT_EQ(a.Rewrite(2, 3, 7).result, 0) << "the holder writes";
    EXPECT_EQ(data::DecodeUserRecord(b.Read(2, 3, false).data.data()).Total, 7) << "others read";

    // The hold is the server's own: no engine lock is left on the record.
    data::DataAccess local;
    ASSERT_TRUE(local.Open(Path("USERS"), isam::OPEN_INOUT).ok());
    ASSERT_TRUE(local.SelectKey(data::kUserKey).ok());
    uint8_t rec[data::kUserRecordSize];
    std::copy_n(held.data.begin(), sizeof rec, rec);
    ASSERT_TRUE(local.Start(0, rec, isam::EQUAL).ok());
    const platform::Status read = local.Read(rec, isam::EQUAL | isam::LOCK_KEEP);
    EXPECT_TRUE(read.ok()) << read.Text();
    ASSERT_TRUE(local.Close().ok());

    // Another learner is free; a refused hold leaves the one a session had.
    EXPECT_EQ(b.Hold(2, 2), 0);
    EXPECT_EQ(b.Hold(2, 3), isam::kRecordLocked);
    EXPECT_EQ(a.Hold(2, 2), isam::kRecordLocked);
    EXPECT_EQ(a.Hold(2, 3), 0) << "the holder again";
}

// Temporaries of uploads that a killed server left behind go with the next upload of that
// file once they are an hour old; a recent one (an upload in progress) stays.
TEST_F(Learners, StaleUploadTemporariesAreRemoved) {
    (void)top.Write("DATA/DEMO/GB/SCO003.002.part77-1", "cut");
    (void)top.Write("DATA/DEMO/GB/SCO003.002.part77-2", "in progress");
    fs::last_write_time(Path("SCO003.002.part77-1"),
                        fs::file_time_type::clock::now() - std::chrono::hours(2));
    Player a(*names, "peer-a", holds);
    EXPECT_EQ(Upload(a.session, "SCO003.002", std::string(16 + 24 * 100, 's')).result, 0);
    EXPECT_FALSE(fs::exists(Path("SCO003.002.part77-1")));
    EXPECT_TRUE(fs::exists(Path("SCO003.002.part77-2")));
}

// The score and history files of a learner another session holds are refused; the holder's
// own upload and other learners' are taken.
TEST_F(Learners, UploadsOfALearnerHeldElsewhereAreRefused) {
    Player a(*names, "peer-a", holds), b(*names, "peer-b", holds);
    ASSERT_EQ(a.Hold(2, 3), 0);
    const std::string whole(16 + 24 * 100, 's');
    testing::internal::CaptureStderr();
    const RequestRecord refused = Upload(b.session, "SCO003.002", whole);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(refused.result, -1);
    EXPECT_EQ(refused.error, isam::kRecordLocked);
    EXPECT_NE(log.find("peer-b [] refused " + std::string(kRemote) +
                       "SCO003.002: group 2 user 3 is held by peer-a"),
              std::string::npos)
        << log;
    EXPECT_FALSE(fs::exists(Path("SCO003.002")));
    EXPECT_EQ(Upload(a.session, "SCO003.002", whole).result, 0);
    EXPECT_EQ(support::TempFolder::Read(Path("SCO003.002")), whole);
    EXPECT_EQ(Upload(b.session, "HST001.002", HistoryOfOneBlock().substr(0, 20)).result, 0)
        << "another learner's file";
}

// A session holds one learner, until it ends, signs on again, opens a file again or holds
// another; reads, rewrites and transfers keep the hold.
TEST_F(Learners, AHoldLastsUntilTheSessionsNextStart) {
    const struct {
        const char* what;
        void (*event)(Player&);
        bool released;
    } cases[] = {
        {"a clean end", [](Player& p) { p.session.End(true); }, true},
        {"a cut", [](Player& p) { p.session.End(false); }, true},
        {"a sign-on", [](Player& p) { Ask(p.session, Request(data::kSignOn)); }, true},
        {"an open of the same file", [](Player& p) { EXPECT_GE(p.Open(), 0); }, true},
        {"an open of another file",
         [](Player& p) {
             EXPECT_GE(
                 Ask(p.session, Request(data::kIsOpen, std::string(kRemote) + "GROUP", 2)).result,
                 0);
         },
         true},
        {"a hold of another learner", [](Player& p) { EXPECT_EQ(p.Hold(1, 1), 0); }, true},
        {"a read", [](Player& p) { EXPECT_EQ(p.Read(1, 1, false).result, 0); }, false},
        {"a rewrite", [](Player& p) { EXPECT_EQ(p.Rewrite(2, 3, 1).result, 0); }, false},
        {"a fetch",
         [](Player& p) {
             RequestRecord get = Request(data::kIsGetFile, std::string(kRemote) + "USERS.dat");
             get.block = 1;
             EXPECT_EQ(Ask(p.session, get).result, 0);
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Player a(*names, "peer-a", holds), b(*names, "peer-b", holds);
        ASSERT_EQ(a.Hold(2, 3), 0);
        ASSERT_EQ(b.Hold(2, 3), isam::kRecordLocked);
        c.event(a);
        EXPECT_EQ(b.Hold(2, 3), c.released ? 0 : isam::kRecordLocked);
    }
    // Sessions of the server hold learners of this folder: a session gone holds none.
    {
        Player a(*names, "peer-a", holds);
        ASSERT_EQ(a.Hold(1, 2), 0);
    }
    Player b(*names, "peer-b", holds);
    EXPECT_EQ(b.Hold(1, 2), 0);
}

}  // namespace
