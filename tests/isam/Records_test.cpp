// Records and free space: reuse of numbers, append mode, the data free list across list nodes,
// masks, record locks between handles of one process, required locks, unique ids.
#include <functional>

#include "IsamFixture.h"
#include "isam/IsamFile.h"

namespace isam_test {
namespace {

using namespace isam;

using IsamRecordsTest = IsamTest;

TEST_F(IsamRecordsTest, DeletedNumbersAreReusedLastFreedFirst) {
    int h = BuildSimple("r");
    for (int i = 1; i <= 8; ++i) ASSERT_EQ(ISWRITE(h, Rec(i * 10).data()), 0);
    ASSERT_EQ(ISDELREC(h, 5), 0);
    ASSERT_EQ(ISWRITE(h, Rec(55).data()), 0);
    EXPECT_EQ(last_recnum, 5);
    ASSERT_EQ(ISDELREC(h, 2), 0);
    ASSERT_EQ(ISDELREC(h, 7), 0);
    ASSERT_EQ(ISWRITE(h, Rec(77).data()), 0);
    EXPECT_EQ(last_recnum, 7);
    ASSERT_EQ(ISWRITE(h, Rec(22).data()), 0);
    EXPECT_EQ(last_recnum, 2);
    ASSERT_EQ(ISWRITE(h, Rec(99).data()), 0);
    EXPECT_EQ(last_recnum, 9);
    // A deleted slot keeps its bytes; only the flag changes; it cannot be read or deleted again.
    ASSERT_EQ(ISDELREC(h, 9), 0);
    auto dat = ReadBytes(Path("r.dat"));
    EXPECT_EQ(load_be32(&dat[8 * 9]), 99u);
    EXPECT_EQ(dat[8 * 9 + 8], 0);
    std::vector<uint8_t> r(8);
    EXPECT_EQ(ISREADREC(h, r.data(), 9), -1);
    EXPECT_EQ(last_error, kNoRecord);
    EXPECT_EQ(ISREADREC(h, r.data(), 10), -1);
    EXPECT_EQ(last_error, kBadArgument);
    EXPECT_EQ(ISDELREC(h, 9), -1);
    EXPECT_EQ(last_error, kNoCurrent);
    EXPECT_TRUE(Consistent("r"));
}

TEST_F(IsamRecordsTest, AppendMode) {
    int h = BuildSimple("a");
    for (int i = 1; i <= 8; ++i) ASSERT_EQ(ISWRITE(h, Rec(i).data()), 0);
    ASSERT_EQ(ISDELREC(h, 5), 0);
    ASSERT_EQ(ISAPPENDMODE(h, true), 0);
    ASSERT_EQ(ISWRITE(h, Rec(50).data()), 0);
    EXPECT_EQ(last_recnum, 9);
    ASSERT_EQ(ISDELREC(h, 2), 0);
    ASSERT_EQ(ISDELREC(h, 7), 0);
    EXPECT_EQ(load_be16(&ReadBytes(Path("a.idx"))[1018]), 2u);  // stored in the header
    ASSERT_EQ(ISAPPENDMODE(h, false), 0);
    for (int want : {2, 5, 7, 10}) {
        ASSERT_EQ(ISWRITE(h, Rec(100 + want).data()), 0);
        EXPECT_EQ(last_recnum, want);
    }
    EXPECT_TRUE(Consistent("a"));
}

TEST_F(IsamRecordsTest, DataFreeListOutgrowsOneNode) {
    int h = BuildSimple("big");
    const int n = 600;  // a list node holds 253 numbers
    for (int i = 1; i <= n; ++i) ASSERT_EQ(ISWRITE(h, Rec(i).data()), 0);
    for (int i = 1; i <= n; ++i) ASSERT_EQ(ISDELREC(h, i), 0);
    EXPECT_TRUE(Consistent("big"));
    for (int i = n; i >= 1; --i) {
        ASSERT_EQ(ISWRITE(h, Rec(i).data()), 0);
        ASSERT_EQ(last_recnum, i);
    }
    // The emptied list nodes went back to the index free list: nothing is lost.
    std::vector<std::string> problems, notes;
    EXPECT_TRUE(CheckFiles(Path("big").c_str(), &problems, &notes));
    for (auto& note : notes) EXPECT_EQ(note.find("no tree"), std::string::npos) << note;
    auto idx = ReadBytes(Path("big.idx"));
    EXPECT_EQ(load_be32(&idx[25]), 0u);
    EXPECT_NE(load_be32(&idx[29]), 0u);
}

TEST_F(IsamRecordsTest, MasksKeepRecordsOutOfIndexes) {
    int h = ISBUILD(Path("m").c_str(), 8, Key({{0, 4, KP_INT32}}), OPEN_INOUT | OPEN_MASKED);
    ASSERT_GE(h, 0);
    KeyDesc second = Key({{4, 4, KP_INT32}}, KEY_DUPS);
    ASSERT_EQ(ISADDINDEX(h, second), 0);
    ASSERT_EQ(ISSETMASK(h, 2u), 0);  // not in index 2 (bit 1)
    ASSERT_EQ(ISWRITE(h, Rec(1, 100).data()), 0);
    ASSERT_EQ(ISSETMASK(h, 0u), 0);
    ASSERT_EQ(ISWRITE(h, Rec(2, 200).data()), 0);
    ASSERT_EQ(ISSELECTINDEX(h, 2, false), 0);
    EXPECT_EQ(Scan(h), std::vector<int32_t>{2});
    // Reading record 1 loads its mask; rewriting it with the bit cleared adds the entry.
    std::vector<uint8_t> r(8);
    ASSERT_EQ(ISREADREC(h, r.data(), 1), 0);
    uint32_t mask = 0;
    ISGETMASK(h, &mask);
    EXPECT_EQ(mask, 2u);
    ASSERT_EQ(ISSETMASK(h, 0u), 0);
    ASSERT_EQ(ISREWREC(h, 1, Rec(1, 150).data()), 0);
    ASSERT_EQ(ISSELECTINDEX(h, 2, false), 0);
    EXPECT_EQ(Scan(h), (std::vector<int32_t>{1, 2}));
    // A masked file accepts a second index equal to an existing one.
    EXPECT_EQ(ISADDINDEX(h, second), 0);
    EXPECT_EQ(IndexCount(h), 3);
    EXPECT_TRUE(Consistent("m"));
}

TEST_F(IsamRecordsTest, RecordLocksBetweenHandlesOfOneProcess) {
    int h1 = BuildSimple("l");
    for (int i = 1; i <= 4; ++i) ASSERT_EQ(ISWRITE(h1, Rec(i).data()), 0);
    int h2 = ISOPEN(Path("l").c_str(), OPEN_INOUT);
    ASSERT_GE(h2, 0);
    std::vector<uint8_t> r = Rec(3);
    ASSERT_EQ(ISREAD(h1, r.data(), EQUAL | LOCK_KEEP), 0);
    r = Rec(3, 77);
    std::vector<uint8_t> got = Rec(3);
    EXPECT_EQ(ISREAD(h2, got.data(), EQUAL | LOCK_KEEP), -1);
    EXPECT_EQ(last_error, kRecordLocked);
    EXPECT_EQ(A(got), 3);  // the buffer is still filled
    // A waiting read would never end inside one process: refused at once.
    EXPECT_EQ(ISREAD(h2, got.data(), CURRENT | LOCK_KEEP | LOCK_WAIT), -1);
    EXPECT_EQ(last_error, kRecordLocked);
    EXPECT_EQ(ISREWRITE(h2, r.data()), -1);
    EXPECT_EQ(last_error, kRecordLocked);
    EXPECT_EQ(ISDELREC(h2, 3), -1);
    EXPECT_EQ(last_error, kRecordLocked);
    // A rewrite is checked against the record it replaces: changing the key neither takes the
    // held record away nor moves another record onto its key.
    EXPECT_EQ(ISREWCURR(h2, Rec(9, 3).data()), -1);
    EXPECT_EQ(last_error, kRecordLocked);
    got = Rec(4);
    ASSERT_EQ(ISREAD(h2, got.data(), EQUAL), 0);
    EXPECT_EQ(ISREWCURR(h2, Rec(3, 4).data()), -1);
    EXPECT_EQ(last_error, kDuplicate);
    EXPECT_EQ(Scan(h2), (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(ISREWRITE(h1, r.data()), 0);  // the holder may
    // Releasing through a lock-mode switch, then the other handle may.
    ASSERT_EQ(ISSETLOCKMODE(h1, LOCKMODE_AUTO), 0);
    ASSERT_EQ(ISSETLOCKMODE(h1, LOCKMODE_MANUAL), 0);
    EXPECT_EQ(ISREWRITE(h2, Rec(3, 88).data()), 0);
    // Closing the first handle leaves the second working on the shared files.
    ASSERT_EQ(ISCLOSE(h1), 0);
    r = Rec(3);
    ASSERT_EQ(ISREAD(h2, r.data(), EQUAL), 0);
    EXPECT_EQ(B(r), 88);
}

TEST_F(IsamRecordsTest, RequiredLocksAndAutomaticLocking) {
    int h = BuildSimple("q", OPEN_INOUT | LOCKMODE_AUTO);
    for (int i = 1; i <= 3; ++i) ASSERT_EQ(ISWRITE(h, Rec(i).data()), 0);
    ASSERT_EQ(ISREQUIRELOCK(h, true), 0);
    EXPECT_EQ(ISREWRITE(h, Rec(2, 5).data()), -1);
    EXPECT_EQ(last_error, kNoCurrent);
    std::vector<uint8_t> r = Rec(2);
    ASSERT_EQ(ISREAD(h, r.data(), EQUAL), 0);  // automatic: locks record 2
    EXPECT_EQ(ISREWRITE(h, Rec(2, 5).data()), 0);
    int other = ISOPEN(Path("q").c_str(), OPEN_INOUT);
    ASSERT_GE(other, 0);
    EXPECT_EQ(ISDELREC(other, 2), -1);
    EXPECT_EQ(last_error, kRecordLocked);
    ASSERT_EQ(ISREAD(h, r.data(), NEXT), 0);  // moves the lock to record 3
    EXPECT_EQ(ISDELREC(other, 2), 0);
    EXPECT_EQ(ISSETLOCKMODE(h, LOCKMODE_EXCL), -1);
    EXPECT_EQ(last_error, kBadArgument);
}

TEST_F(IsamRecordsTest, OperationKindsAndHandles) {
    EXPECT_EQ(ISREAD(-1, nullptr, FIRST), -1);
    EXPECT_EQ(last_error, kNotOpen);
    EXPECT_EQ(ISWRITE(12345, nullptr), -1);
    EXPECT_EQ(last_error, kNotOpen);
    EXPECT_EQ(*LastErrorCell(777), kNotOpen);
    EXPECT_EQ(ISFLUSH(42), 0);
    EXPECT_EQ(ISFLUSH(-1), -1);
    EXPECT_EQ(ISAVAILABLE(), 1);
    int h = BuildSimple("k");
    ASSERT_EQ(ISWRITE(h, Rec(1).data()), 0);
    ISCLOSE(h);
    auto before = ReadBytes(Path("k.idx"));
    int in = ISOPEN(Path("k").c_str(), OPEN_INPUT);
    EXPECT_EQ(ISWRITE(in, Rec(2).data()), -1);
    EXPECT_EQ(last_error, kBadArgument);
    EXPECT_EQ(*LastErrorCell(in), kBadArgument);
    int out = ISOPEN(Path("k").c_str(), OPEN_OUTPUT);
    std::vector<uint8_t> r(8);
    EXPECT_EQ(ISREAD(out, r.data(), FIRST), -1);
    EXPECT_EQ(last_error, kBadArgument);
    EXPECT_EQ(ReadBytes(Path("k.idx")), before);
    EXPECT_STREQ(ErrorText(kEndOfFile), "start or end file reached");
    EXPECT_STREQ(ErrorText(kLockTableFull), "out of room in lock table");
    int mode = 0;
    ASSERT_EQ(ISGETMODE(in, &mode), 0);
    EXPECT_EQ(mode, OPEN_INPUT | LOCKMODE_MANUAL);
}

TEST_F(IsamRecordsTest, FailedWriteLeavesMemoryEqualToFiles) {
    int h = BuildSimple("e");
    KeyDesc second = Key({{4, 4, KP_INT32}});
    ASSERT_EQ(ISADDINDEX(h, second), 0);
    for (int i = 0; i < 300; ++i) ASSERT_EQ(ISWRITE(h, Rec(i, i).data()), 0);
    auto idx = ReadBytes(Path("e.idx"));
    auto dat = ReadBytes(Path("e.dat"));
    // The first index takes the new key (and may split), the second refuses it.
    EXPECT_EQ(ISWRITE(h, Rec(1000, 5).data()), -1);
    EXPECT_EQ(last_error, kDuplicate);
    EXPECT_EQ(ISREWRITE(h, Rec(7, 8).data()), -1);
    EXPECT_EQ(last_error, kDuplicate);
    EXPECT_EQ(ReadBytes(Path("e.idx")), idx);
    EXPECT_EQ(ReadBytes(Path("e.dat")), dat);
    std::vector<uint8_t> r = Rec(1000);
    EXPECT_EQ(ISREAD(h, r.data(), EQUAL), -1);
    ASSERT_EQ(ISWRITE(h, Rec(1000, 1000).data()), 0);
    EXPECT_EQ(last_recnum, 301);
    EXPECT_EQ(Scan(h).size(), 301u);
    EXPECT_TRUE(Consistent("e"));
}

// A disk that fills at any write of a call: the call either succeeds or fails with ENOSPC leaving
// the files byte for byte as they were (no record lost, no number leaked).
TEST_F(IsamRecordsTest, FullDiskFailsTheCallWithNothingChanged) {
    int h = BuildSimple("full");
    ASSERT_EQ(ISADDINDEX(h, Key({{4, 4, KP_INT32}})), 0);
    // Ascending keys fill the last leaf of both indexes: stop where the next write splits them
    // for the second time, so that record 7 lies in another leaf.
    std::vector<uint8_t> idx, dat;
    int split = -1;
    for (int i = 0, splits = 0; i < 1000 && splits < 2; ++i) {
        idx = ReadBytes(Path("full.idx"));
        dat = ReadBytes(Path("full.dat"));
        ASSERT_EQ(ISWRITE(h, Rec(i, i).data()), 0);
        if (load_be32(&ReadBytes(Path("full.idx"))[37]) != load_be32(&idx[37])) {
            split = i;
            ++splits;
        }
    }
    ASSERT_GT(split, 10);
    ASSERT_EQ(ISCLOSE(h), 0);
    struct Case {
        const char* what;
        std::function<int(int)> call;
        std::function<bool(int)> done;  // the call's effect is in the files
    };
    auto b_of = [](int fh, int key) {
        std::vector<uint8_t> r = Rec(key);
        return ISREAD(fh, r.data(), EQUAL) == 0 ? B(r) : -1;
    };
    const Case cases[] = {
        {"delete (the data free list needs a node)",
         [](int fh) { return ISDELETE(fh, Rec(5).data()); },
         [&](int fh) { return b_of(fh, 5) < 0; }},
        {"write (a new slot, both indexes split)",
         [&](int fh) { return ISWRITE(fh, Rec(split, split).data()); },
         [&](int fh) { return b_of(fh, split) == split; }},
        {"rewrite (the second index splits)",
         [](int fh) { return ISREWRITE(fh, Rec(7, 100000).data()); },
         [&](int fh) { return b_of(fh, 7) == 100000; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int failures = 0;
        for (int full_after = 0; full_after < 100; ++full_after) {
            WriteBytes(Path("full.idx"), idx);
            WriteBytes(Path("full.dat"), dat);
            h = ISOPEN(Path("full").c_str(), OPEN_INOUT);
            ASSERT_GE(h, 0);
            detail::SetTestHooks({.full_after_writes = full_after});
            const int rc = c.call(h);
            const int err = last_error;
            detail::SetTestHooks({});
            if (rc != 0) {
                ++failures;
                EXPECT_EQ(err, ENOSPC) << full_after;
                EXPECT_EQ(ReadBytes(Path("full.idx")), idx) << full_after;
                EXPECT_EQ(ReadBytes(Path("full.dat")), dat) << full_after;
                EXPECT_FALSE(c.done(h)) << full_after;
            } else {
                EXPECT_TRUE(c.done(h));
            }
            ASSERT_EQ(ISCLOSE(h), 0);
            std::vector<std::string> problems, notes;
            EXPECT_TRUE(CheckFiles(Path("full").c_str(), &problems, &notes)) << full_after;
            for (const auto& n : notes)
                EXPECT_EQ(n.find("no free list"), std::string::npos) << full_after << ": " << n;
            if (rc == 0) break;
        }
        EXPECT_GT(failures, 0);
    }
}

TEST_F(IsamRecordsTest, RewriteAndDeleteThroughTheCurrentRecord) {
    int h = BuildSimple("c");
    for (int i = 1; i <= 5; ++i) ASSERT_EQ(ISWRITE(h, Rec(i).data()), 0);
    std::vector<uint8_t> r(8);
    ASSERT_EQ(ISSTART(h, nullptr, 0, nullptr, FIRST), 0);
    EXPECT_EQ(ISDELCURR(h), -1);  // no current record after a start on FIRST
    EXPECT_EQ(last_error, kNoCurrent);
    ASSERT_EQ(ISREAD(h, r.data(), NEXT), 0);
    ASSERT_EQ(ISREWCURR(h, Rec(1, 11).data()), 0);
    ASSERT_EQ(ISREWNEXT(h, Rec(1, 12).data()), 0);  // rewrites 1, moves to 2
    ASSERT_EQ(ISREAD(h, r.data(), CURRENT), 0);
    EXPECT_EQ(A(r), 2);
    ASSERT_EQ(ISDELCURR(h), 0);
    ASSERT_EQ(ISREAD(h, r.data(), NEXT), 0);
    EXPECT_EQ(A(r), 3);
    ASSERT_EQ(ISREAD(h, r.data(), LAST), 0);
    EXPECT_EQ(ISREWNEXT(h, Rec(5, 55).data()), -1);  // cannot advance, still rewrites
    EXPECT_EQ(last_error, kEndOfFile);
    r = Rec(5);
    ASSERT_EQ(ISREAD(h, r.data(), EQUAL), 0);
    EXPECT_EQ(B(r), 55);
    r = Rec(1);
    ASSERT_EQ(ISREAD(h, r.data(), EQUAL), 0);
    EXPECT_EQ(B(r), 12);
    ASSERT_EQ(ISWRCURR(h, Rec(4, 0).data()), -1);  // duplicate
    ASSERT_EQ(ISDELETE(h, Rec(4).data()), 0);
    ASSERT_EQ(ISWRCURR(h, Rec(4, 1).data()), 0);
    ASSERT_EQ(ISREAD(h, r.data(), NEXT), 0);
    EXPECT_EQ(A(r), 5);
    int index = -1;
    int32_t recnum = 0;
    ISPOSITION(h, &index, &recnum);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(recnum, 5);
    EXPECT_TRUE(Consistent("c"));
}

TEST_F(IsamRecordsTest, IndexOnlyFile) {
    int h = ISBUILD(Path("i").c_str(), 0, Key({{0, 4, KP_INT32}}, KEY_DUPS), OPEN_INOUT);
    ASSERT_GE(h, 0);
    EXPECT_FALSE(std::filesystem::exists(Path("i.dat")));
    for (int i : {5, 3, 9}) {
        last_recnum = i * 100;
        std::vector<uint8_t> r(4);
        store_be32(r.data(), uint32_t(i));
        ASSERT_EQ(ISWRITE(h, r.data()), 0);
    }
    std::vector<uint8_t> r(4);
    std::vector<std::pair<int, int>> seen;
    for (int mode = FIRST; ISREAD(h, r.data(), mode) == 0; mode = NEXT)
        seen.emplace_back(int(load_be32(r.data())), last_recnum);
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{3, 300}, {5, 500}, {9, 900}}));
    EXPECT_EQ(ISREAD(h, r.data(), FIRST | LOCK_KEEP), -1);
    EXPECT_EQ(last_error, kBadArgument);
    EXPECT_EQ(ISBUILD(Path("j").c_str(), 0, Key({{0, 4, KP_INT32}}), OPEN_INOUT | OPEN_MASKED), -1);
    EXPECT_EQ(last_error, kBadArgument);
}

}  // namespace
}  // namespace isam_test
