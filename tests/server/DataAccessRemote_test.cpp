// The data access layer's remote role against a running data server: one call rewrites a
// learner's record on the server, then locally, and its status is the first copy that failed.
#include <gtest/gtest.h>

#include <cerrno>

#include "data/DataAccess.h"
#include "data/LearnerFiles.h"
#include "data/RemoteClient.h"
#include "data/UserRecord.h"
#include "support/ServerFixture.h"
#include "support/TempFolder.h"

namespace {

constexpr const char* kRemoteUsers = "?:\\DATA\\DEMO\\GB\\USERS";

class RemoteAccessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        support::MakeLearners(dir_.path / "server", 1, 2);
        support::MakeLearners(dir_.path / "local", 1, 2);
        ASSERT_TRUE(server_.Start((dir_.path / "server").string())) << server_.Log();
        ASSERT_TRUE(users_.Open(local_ + "/DATA/DEMO/GB/USERS", isam::OPEN_INOUT).ok());
        client_.CreateClient("127.0.0.1", server_.port, 5000);
        client_.SetRetryInterval(0);
        ASSERT_TRUE(client_.Connect());
        ASSERT_GE(client_.SignOn("test", "group", "user"), 0);
        users_.SetRemote(&client_, kRemoteUsers);
        ASSERT_TRUE(users_.OpenOnServer(isam::OPEN_INOUT).ok());
    }

    // The record of (1, user) with its total set, as bytes.
    static std::vector<uint8_t> Record(int user, int total) {
        data::UserRecord r = data::UserTemplate();
        r.GroupNo = 1;
        r.UserNo = user;
        r.UserName = "user 1:" + std::to_string(user);
        r.Total = total;
        std::vector<uint8_t> b(data::kUserRecordSize);
        data::EncodeUserRecord(r, b.data());
        return b;
    }
    // The total of (1, user) in the local file, or on the server through a client of its own.
    int LocalTotal(int user) {
        data::UserRecord r;
        EXPECT_TRUE(data::FindUser(users_, 1, user, r).ok());
        return r.Total;
    }
    int ServerTotal(int user) {
        data::RemoteClient reader;
        reader.CreateClient("127.0.0.1", server_.port, 5000);
        EXPECT_TRUE(reader.Connect());
        EXPECT_GE(reader.SignOn("reader", "g", "u"), 0);
        EXPECT_GE(reader.RemoteOpen(kRemoteUsers, isam::OPEN_INPUT), 0);
        std::vector<uint8_t> b = Record(user, 0);
        EXPECT_GE(reader.SelectKey(data::kUserKey), 0);
        EXPECT_GE(reader.RemoteStart(0, b.data(), int(b.size()), isam::EQUAL), 0);
        EXPECT_GE(reader.RemoteRead(b.data(), int(b.size()), isam::EQUAL), 0);
        return data::DecodeUserRecord(b.data()).Total;
    }

    support::TempFolder dir_;
    const std::string local_ = (dir_.path / "local").string();
    support::ServerProcess server_;
    data::DataAccess users_;
    data::RemoteClient client_;
};

TEST_F(RemoteAccessTest, RewritesTheServersCopyThenTheLocalOne) {
    const auto record = Record(2, 42);
    const platform::Status written =
        users_.RewriteByKey(data::kUserKey, record.data(), int(record.size()));
    ASSERT_TRUE(written.ok()) << written.Text();
    EXPECT_EQ(ServerTotal(2), 42);
    EXPECT_EQ(LocalTotal(2), 42);
    EXPECT_EQ(ServerTotal(1), 0) << "only the learner with that key";
    EXPECT_EQ(LocalTotal(1), 0);
}

// Each copy that cannot be written is named in the one status; the local copy is written
// whatever the server did, and no failure passes for success.
TEST_F(RemoteAccessTest, AFailedCopyIsTheStatusAndTheLocalCopyIsStillWritten) {
    // Another player holds the learner on the server: the server refuses the rewrite.
    data::RemoteClient holder;
    holder.CreateClient("127.0.0.1", server_.port, 5000);
    ASSERT_TRUE(holder.Connect());
    ASSERT_GE(holder.SignOn("other", "g", "u"), 0);
    ASSERT_GE(holder.RemoteOpen(kRemoteUsers, isam::OPEN_INOUT | isam::LOCKMODE_EXCL), 0);
    auto held = Record(2, 0);
    ASSERT_GE(holder.HoldLearner(held.data(), int(held.size())), 0);
    auto record = Record(2, 7);
    platform::Status s = users_.RewriteByKey(data::kUserKey, record.data(), int(record.size()));
    EXPECT_EQ(s.code(), isam::kRecordLocked) << s.Text();
    EXPECT_EQ(s.what(), kRemoteUsers);
    EXPECT_EQ(LocalTotal(2), 7);
    holder.EndSession();

    // A learner neither copy holds: the server's failure comes first.
    record = Record(9, 1);
    s = users_.RewriteByKey(data::kUserKey, record.data(), int(record.size()));
    EXPECT_EQ(s.code(), isam::kNoRecord) << s.Text();
    EXPECT_EQ(s.what(), kRemoteUsers);

    // The server is gone: the wire's failure, and the local copy takes the record.
    server_.Stop();
    record = Record(1, 5);
    s = users_.RewriteByKey(data::kUserKey, record.data(), int(record.size()));
    EXPECT_EQ(s.code(), ENOTCONN) << s.Text();
    EXPECT_FALSE(s.Cause().empty());
    EXPECT_EQ(LocalTotal(1), 5);

    // Without the remote role, the local file alone; a learner it lacks is its failure.
    users_.SetRemote(nullptr, "ignored");
    EXPECT_TRUE(users_.RemoteName().empty());
    EXPECT_EQ(users_.OpenOnServer(isam::OPEN_INOUT).code(), ENOTCONN);
    record = Record(9, 1);
    s = users_.RewriteByKey(data::kUserKey, record.data(), int(record.size()));
    EXPECT_EQ(s.code(), isam::kNoRecord);
    EXPECT_EQ(s.what(), users_.DataPath());
    record = Record(2, 8);
    EXPECT_TRUE(users_.RewriteByKey(data::kUserKey, record.data(), int(record.size())).ok());
    EXPECT_EQ(LocalTotal(2), 8);
}

}  // namespace
