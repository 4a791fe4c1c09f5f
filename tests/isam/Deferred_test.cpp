// Deferred writes on an exclusive handle: when the changes reach the files, a failed call undone
// alone, and a failed write-back reported by the call that made it.
#include <cerrno>
#include <string>

#include "IsamFixture.h"
#include "isam/IsamFile.h"

namespace isam_test {
namespace {

using namespace isam;

using IsamDeferredTest = IsamTest;

constexpr size_t kRoomy = size_t(1) << 20;

bool SameFiles(const std::string& base, const std::vector<uint8_t>& idx,
               const std::vector<uint8_t>& dat) {
    return ReadBytes(base + ".idx") == idx && ReadBytes(base + ".dat") == dat;
}

TEST_F(IsamDeferredTest, WritesWaitForAFlushACloseOrAnotherCall) {
    const std::string base = Path("d");
    int h = BuildSimple("d");
    ASSERT_GE(h, 0);
    // Other processes read a shared handle's files at any time: it cannot defer.
    EXPECT_EQ(DeferWrites(h, kRoomy), -1);
    EXPECT_EQ(last_error, kNotExclusive);
    ASSERT_EQ(ISCLOSE(h), 0);
    h = ISOPEN(base.c_str(), OPEN_INOUT | LOCKMODE_EXCL);
    ASSERT_GE(h, 0);
    ASSERT_EQ(DeferWrites(h, kRoomy), 0);
    auto idx = ReadBytes(base + ".idx"), dat = ReadBytes(base + ".dat");
    // Descending keys: every write goes to the first leaf, which splits again and again.
    for (int i = 0; i < 500; ++i) {
        ASSERT_EQ(ISWRITE(h, Rec(10000 - i, i).data()), 0);
        ASSERT_EQ(last_recnum, i + 1);
    }
    EXPECT_TRUE(SameFiles(base, idx, dat));
    ASSERT_EQ(ISFLUSH(h), 0);
    EXPECT_EQ(ReadBytes(base + ".dat").size(), 500u * 9);
    idx = ReadBytes(base + ".idx");
    dat = ReadBytes(base + ".dat");
    for (int i = 500; i < 800; ++i) ASSERT_EQ(ISWRITE(h, Rec(10000 - i, i).data()), 0);
    EXPECT_TRUE(SameFiles(base, idx, dat));
    // A read writes back first, and finds the records only the memory held.
    std::vector<uint8_t> r = Rec(10000 - 799);
    ASSERT_EQ(ISREAD(h, r.data(), EQUAL), 0);
    EXPECT_EQ(B(r), 799);
    EXPECT_EQ(ReadBytes(base + ".dat").size(), 800u * 9);
    for (int i = 800; i < 1000; ++i) ASSERT_EQ(ISWRITE(h, Rec(10000 - i, i).data()), 0);
    // Turning deferring off writes back too; then each call writes at once.
    ASSERT_EQ(DeferWrites(h, 0), 0);
    EXPECT_EQ(ReadBytes(base + ".dat").size(), 1000u * 9);
    ASSERT_EQ(ISWRITE(h, Rec(1, 1000).data()), 0);
    EXPECT_EQ(ReadBytes(base + ".dat").size(), 1001u * 9);
    ASSERT_EQ(DeferWrites(h, kRoomy), 0);
    ASSERT_EQ(ISWRITE(h, Rec(2, 1001).data()), 0);
    ASSERT_EQ(ISCLOSE(h), 0);
    EXPECT_TRUE(Consistent("d"));
    h = ISOPEN(base.c_str(), OPEN_INPUT);
    std::vector<int32_t> keys = Scan(h);
    ASSERT_EQ(keys.size(), 1002u);
    EXPECT_EQ(keys[0], 1);
    EXPECT_EQ(keys[1], 2);
    EXPECT_EQ(keys[2], 10000 - 999);
    EXPECT_EQ(keys.back(), 10000);
    // The bound makes calls write back by themselves.
    ASSERT_EQ(ISCLOSE(h), 0);
    h = ISOPEN(base.c_str(), OPEN_INOUT | LOCKMODE_EXCL);
    ASSERT_EQ(DeferWrites(h, 4096), 0);
    const size_t before = ReadBytes(base + ".dat").size();
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(ISWRITE(h, Rec(20000 + i, i).data()), 0);
    EXPECT_GT(ReadBytes(base + ".dat").size(), before);
    ASSERT_EQ(ISCLOSE(h), 0);
    EXPECT_TRUE(Consistent("d"));
}

// A call that fails after changing nodes (the first index takes the key, splitting its leaf now
// and then; the second refuses it) is undone alone: the calls before it still reach the files,
// and no record number or node is lost to it.
TEST_F(IsamDeferredTest, FailedCallIsUndoneAloneAndEarlierCallsStay) {
    int h = BuildSimple("u", OPEN_INOUT | LOCKMODE_EXCL);
    ASSERT_GE(h, 0);
    ASSERT_EQ(ISADDINDEX(h, Key({{4, 4, KP_INT32}})), 0);
    ASSERT_EQ(DeferWrites(h, kRoomy), 0);
    const int n = 600;
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(ISWRITE(h, Rec(i, i).data()), 0);
        ASSERT_EQ(last_recnum, i + 1);
        EXPECT_EQ(ISWRITE(h, Rec(100000 + i, i).data()), -1);
        ASSERT_EQ(last_error, kDuplicate) << i;
        EXPECT_EQ(ISWRITE(h, Rec(i / 2, 200000 + i).data()), -1);
        ASSERT_EQ(last_error, kDuplicate) << i;
    }
    ASSERT_EQ(ISCLOSE(h), 0);
    EXPECT_TRUE(Consistent("u"));
    h = ISOPEN(Path("u").c_str(), OPEN_INPUT);
    for (int index : {1, 2}) {
        ASSERT_EQ(ISSELECTINDEX(h, index, false), 0);
        std::vector<int32_t> keys = Scan(h);
        ASSERT_EQ(keys.size(), size_t(n)) << index;
        for (int i = 0; i < n; ++i) ASSERT_EQ(keys[size_t(i)], i) << index;
    }
    ASSERT_EQ(ISCLOSE(h), 0);
    // Nothing taken by the failed calls is missing from the files: no node in no tree.
    std::vector<std::string> problems, notes;
    ASSERT_TRUE(CheckFiles(Path("u").c_str(), &problems, &notes));
    for (const auto& note : notes) EXPECT_EQ(note.find("no tree"), std::string::npos) << note;
}

// A full disk at the write-back, made by a flush, a close or the bound: that call fails with
// ENOSPC, the files are as the last write-back left them, and the handle goes on from there.
TEST_F(IsamDeferredTest, FailedWriteBackIsTheErrorOfTheCallThatMadeIt) {
    const std::string base = Path("f");
    int h = BuildSimple("f");
    for (int i = 0; i < 10; ++i) ASSERT_EQ(ISWRITE(h, Rec(i, i).data()), 0);
    ASSERT_EQ(ISCLOSE(h), 0);
    const auto idx = ReadBytes(base + ".idx"), dat = ReadBytes(base + ".dat");
    for (const char* how : {"flush", "close", "bound"}) {
        SCOPED_TRACE(how);
        WriteBytes(base + ".idx", idx);
        WriteBytes(base + ".dat", dat);
        h = ISOPEN(base.c_str(), OPEN_INOUT | LOCKMODE_EXCL);
        ASSERT_GE(h, 0);
        const bool bound = std::string(how) == "bound";
        ASSERT_EQ(DeferWrites(h, bound ? 2048 : kRoomy), 0);
        int rc = 0, i = 100;
        if (bound) detail::SetTestHooks({.full_after_writes = 0});
        for (; i < 400 && rc == 0; ++i) rc = ISWRITE(h, Rec(i, i).data());
        if (!bound) {
            detail::SetTestHooks({.full_after_writes = 0});
            rc = std::string(how) == "flush" ? ISFLUSH(h) : ISCLOSE(h);
        }
        const int err = last_error;
        detail::SetTestHooks({});
        EXPECT_EQ(rc, -1);
        EXPECT_EQ(err, ENOSPC);
        EXPECT_TRUE(SameFiles(base, idx, dat));
        if (std::string(how) != "close") {
            // The handle reads the files as they are and writes on.
            std::vector<uint8_t> r = Rec(100);
            EXPECT_EQ(ISREAD(h, r.data(), EQUAL), -1);
            EXPECT_EQ(last_error, kNoRecord);
            ASSERT_EQ(ISWRITE(h, Rec(500, 5).data()), 0);
            EXPECT_EQ(last_recnum, 11);
            ASSERT_EQ(ISCLOSE(h), 0);
        }
        EXPECT_TRUE(Consistent("f"));
        h = ISOPEN(base.c_str(), OPEN_INPUT);
        EXPECT_EQ(Scan(h).size(), std::string(how) == "close" ? 10u : 11u);
        ASSERT_EQ(ISCLOSE(h), 0);
    }
}

}  // namespace
}  // namespace isam_test
