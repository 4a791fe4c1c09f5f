// Whole-file operations: build and open errors, sharing, erase and rename, index changes,
// clone, copy and cluster.
#include <fcntl.h>

#include <random>

#include "IsamFixture.h"

namespace isam_test {
namespace {

using namespace isam;

using IsamLifecycleTest = IsamTest;

TEST_F(IsamLifecycleTest, BuildAndOpenErrors) {
    int h = BuildSimple("b");
    ASSERT_GE(h, 0);
    ISCLOSE(h);
    EXPECT_EQ(BuildSimple("b"), -1);
    EXPECT_EQ(last_error, EEXIST);
    EXPECT_EQ(last_io_error, 33);
    WriteBytes(Path("d.dat"), {});
    EXPECT_EQ(BuildSimple("d"), -1);
    EXPECT_EQ(last_io_error, 34);
    EXPECT_TRUE(std::filesystem::exists(Path("d.idx")));  // the new index file stays
    struct Case {
        int reclen, maxlen, mode, error;
    } cases[] = {
        {8, 0, OPEN_INOUT | OPEN_VARLEN, kBadArgument},  // maximum not above the length
        {8, 0x7F00, OPEN_INOUT | OPEN_VARLEN, kBadArgument},
        {0, 0, OPEN_INOUT | LOCKMODE_AUTO, kBadArgument},  // index-only with automatic locks
        {2, 0, OPEN_INOUT, kBadKey},                       // key beyond the record
    };
    for (auto& c : cases) {
        std::string name = Path("c" + std::to_string(c.error) + std::to_string(c.reclen));
        int rc = c.mode & OPEN_VARLEN
                     ? ISBUILD(name.c_str(), c.reclen, c.maxlen, Key({{0, 4, KP_INT32}}), c.mode)
                     : ISBUILD(name.c_str(), c.reclen, Key({{0, 4, KP_INT32}}), c.mode);
        EXPECT_EQ(rc, -1);
        EXPECT_EQ(last_error, c.error) << c.reclen << " " << c.mode;
    }
    EXPECT_EQ(ISOPEN(Path("missing").c_str(), OPEN_INOUT), -1);
    EXPECT_EQ(last_error, ENOENT);
    EXPECT_EQ(last_io_error, 17);
    EXPECT_EQ(ISOPEN("", OPEN_INOUT), -1);
    EXPECT_EQ(last_error, kBadArgument);
}

TEST_F(IsamLifecycleTest, VariableLengthFilesAreBuiltButNotOpened) {
    int h = ISBUILD(Path("v").c_str(), 8, 100, Key({{0, 4, KP_INT32}}), OPEN_INOUT);
    ASSERT_GE(h, 0);
    ISCLOSE(h);
    auto idx = ReadBytes(Path("v.idx"));
    EXPECT_EQ(load_be16(&idx[59]), 100u);
    EXPECT_EQ(load_be16(&idx[1018]), 4u);
    for (int mode : {OPEN_INOUT, OPEN_INPUT, OPEN_INOUT | OPEN_VARLEN_IF_FILE}) {
        EXPECT_EQ(ISOPEN(Path("v").c_str(), mode), -1);
        EXPECT_EQ(last_error, kBadArgument);
    }
}

TEST_F(IsamLifecycleTest, ExclusiveUseEraseAndRename) {
    int h = BuildSimple("x");
    ASSERT_EQ(ISWRITE(h, Rec(1).data()), 0);
    EXPECT_EQ(ISERASE(Path("x").c_str()), -1);
    EXPECT_EQ(last_error, kFileLocked);
    EXPECT_EQ(ISOPEN(Path("x").c_str(), OPEN_INOUT | LOCKMODE_EXCL), -1);
    EXPECT_EQ(last_error, kFileLocked);
    ISCLOSE(h);
    h = ISOPEN(Path("x").c_str(), OPEN_INOUT | LOCKMODE_EXCL);
    ASSERT_GE(h, 0);
    EXPECT_EQ(ISOPEN(Path("x").c_str(), OPEN_INPUT), -1);
    EXPECT_EQ(last_error, kFileLocked);
    ISCLOSE(h);
    ISCLOSE(BuildSimple("other"));
    EXPECT_EQ(ISRENAME(Path("x").c_str(), Path("other").c_str()), -1);  // never over another file
    EXPECT_EQ(last_error, EEXIST);
    ASSERT_EQ(ISRENAME(Path("x").c_str(), Path("y").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(Path("x.idx")));
    EXPECT_TRUE(std::filesystem::exists(Path("x.lck")));  // the lock file stays behind
    h = ISOPEN(Path("y").c_str(), OPEN_INPUT);
    ASSERT_GE(h, 0);
    EXPECT_EQ(Scan(h, NEXT),
              std::vector<int32_t>{1});  // a first NEXT after the open reads the first
    ISCLOSE(h);
    ASSERT_EQ(ISERASE(Path("y").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(Path("y.idx")));
    EXPECT_FALSE(std::filesystem::exists(Path("y.dat")));
    EXPECT_TRUE(std::filesystem::exists(Path("y.lck")));
    EXPECT_EQ(ISERASE(""), -1);
    EXPECT_EQ(last_error, kBadArgument);
}

TEST_F(IsamLifecycleTest, ReadOnlyWithoutLocks) {
    int h = BuildSimple("ro");
    ASSERT_EQ(ISWRITE(h, Rec(1).data()), 0);
    ISCLOSE(h);
    std::filesystem::remove(Path("ro.lck"));
    h = ISOPEN(Path("ro").c_str(), OPEN_INOUT | LOCKMODE_NONE);
    ASSERT_GE(h, 0);
    EXPECT_FALSE(std::filesystem::exists(Path("ro.lck")));
    EXPECT_EQ(Scan(h), std::vector<int32_t>{1});
    EXPECT_EQ(ISWRITE(h, Rec(2).data()), -1);
    EXPECT_EQ(last_error, EBADF);  // the system's error: the files are open read-only
    EXPECT_EQ(Scan(h), std::vector<int32_t>{1});
}

TEST_F(IsamLifecycleTest, AddAndDropIndexes) {
    int h = BuildSimple("ix");
    for (int i = 0; i < 50; ++i) ASSERT_EQ(ISWRITE(h, Rec(i, 100 - i).data()), 0);
    KeyDesc second = Key({{4, 4, KP_INT32}});
    int other = ISOPEN(Path("ix").c_str(), OPEN_INOUT);
    EXPECT_EQ(ISADDINDEX(h, second), -1);  // another handle has the file open
    EXPECT_EQ(last_error, kFileLocked);
    ISCLOSE(other);
    ASSERT_EQ(ISADDINDEX(h, second), 0);
    EXPECT_EQ(ISADDINDEX(h, second), -1);
    EXPECT_EQ(last_error, kKeyExists);
    EXPECT_EQ(ISADDINDEX(h, KeyDesc{}), -1);
    EXPECT_EQ(last_error, kPrimaryKey);
    ASSERT_EQ(ISSELECTINDEX(h, 2, false), 0);
    EXPECT_EQ(Scan(h).front(), 49);
    // A unique index over duplicate values is refused and leaves nothing behind.
    ASSERT_EQ(ISWRITE(h, Rec(60, 0x01000000 + 100).data()), 0);  // bytes 5-7 repeat record 0's
    KeyDesc third = Key({{5, 3, KP_CHAR}});
    EXPECT_EQ(ISADDINDEX(h, third), -1);
    EXPECT_EQ(last_error, kDuplicate);
    EXPECT_EQ(IndexCount(h), 2);
    EXPECT_TRUE(Consistent("ix"));
    // Dropping the first index makes the second index 1.
    ASSERT_EQ(ISDELINDEX(h, Key({{0, 4, KP_INT32}})), 0);
    EXPECT_EQ(IndexCount(h), 1);
    KeyDesc k;
    ASSERT_TRUE(IndexKey(h, 1, &k));
    EXPECT_EQ(k.parts[0].start, 4);
    EXPECT_EQ(ISDELINDEX(h, second), -1);
    EXPECT_EQ(last_error, kPrimaryKey);
    EXPECT_EQ(ISDELINDEX(h, third), -1);  // an index that does not exist, even beside the last
    EXPECT_EQ(last_error, kBadKey);
    ISCLOSE(h);
    EXPECT_TRUE(Consistent("ix"));
    h = ISOPEN(Path("ix").c_str(), OPEN_INOUT);
    ASSERT_GE(h, 0);
    ASSERT_EQ(ISSELECTINDEX(h, 1, false), 0);
    EXPECT_EQ(Scan(h).size(), 51u);
    // Many indexes: the dictionary continues in a second node.
    for (int i = 0; i < 14; ++i) {
        KeyDesc k = i < 8 ? Key({{i, 1, KP_CHAR}}, KEY_DUPS)
                          : Key({{i - 8, 1, KP_CHAR}, {4, 4, KP_INT32}}, KEY_DUPS);
        ASSERT_EQ(ISADDINDEX(h, k), 0) << i << " " << last_error;
    }
    EXPECT_EQ(ISADDINDEX(h, Key({{1, 2, KP_CHAR}}, KEY_DUPS)), -1);
    EXPECT_EQ(last_error, kBadKey);
    ISCLOSE(h);
    EXPECT_TRUE(Consistent("ix"));
    h = ISOPEN(Path("ix").c_str(), OPEN_INPUT);
    EXPECT_EQ(IndexCount(h), 15);
}

TEST_F(IsamLifecycleTest, FileWithoutPrimaryKeyGetsIndexes) {
    int h = ISBUILD(Path("np").c_str(), 8, KeyDesc{}, OPEN_INOUT);
    for (int i : {3, 1, 2}) ASSERT_EQ(ISWRITE(h, Rec(i).data()), 0);
    EXPECT_EQ(Scan(h), (std::vector<int32_t>{3, 1, 2}));
    EXPECT_EQ(ISREWRITE(h, Rec(1).data()), -1);
    EXPECT_EQ(last_error, kNoPrimaryKey);
    EXPECT_EQ(ISDELINDEX(h, Key({{0, 4, KP_INT32}})), -1);
    EXPECT_EQ(last_error, kPrimaryKey);
    ASSERT_EQ(ISADDINDEX(h, Key({{0, 4, KP_INT32}})), 0);
    ASSERT_EQ(ISSELECTINDEX(h, 1, false), 0);
    EXPECT_EQ(Scan(h), (std::vector<int32_t>{1, 2, 3}));
    ISCLOSE(h);
    auto idx = ReadBytes(Path("np.idx"));
    EXPECT_EQ(load_be16(&idx[8]), 2u);
    EXPECT_TRUE(Consistent("np"));
}

TEST_F(IsamLifecycleTest, CloneCopyAndCluster) {
    int h = BuildSimple("src", OPEN_INOUT | LOCKMODE_EXCL);
    ASSERT_EQ(ISADDINDEX(h, Key({{4, 4, KP_INT32}}, KEY_DUPS)), 0);
    std::vector<int> keys(300);
    for (int i = 0; i < 300; ++i) keys[size_t(i)] = i;
    std::shuffle(keys.begin(), keys.end(), std::mt19937(7));
    for (int k : keys) ASSERT_EQ(ISWRITE(h, Rec(k, k % 10).data()), 0);
    for (int k = 0; k < 300; k += 3) ASSERT_EQ(ISDELETE(h, Rec(k).data()), 0);
    int c = ISCLONE(h, Path("copy").c_str());
    ASSERT_GE(c, 0);
    EXPECT_EQ(IndexCount(c), 2);
    KeyDesc by_second = Key({{4, 4, KP_INT32}}, KEY_DUPS);
    ASSERT_EQ(ISCOPY(c, h, &by_second), 0);
    ASSERT_EQ(ISSELECTINDEX(c, 0, false), 0);
    std::vector<int32_t> copied = Scan(c);
    ASSERT_EQ(copied.size(), 200u);
    for (size_t i = 1; i < copied.size(); ++i) EXPECT_LE(copied[i - 1] % 10, copied[i] % 10);
    ISCLOSE(c);
    EXPECT_TRUE(Consistent("copy"));

    KeyDesc first = Key({{0, 4, KP_INT32}});
    int nh = ISCLUSTER(h, &first);
    ASSERT_GE(nh, 0) << last_error;
    EXPECT_EQ(IndexCount(nh), 2);
    ASSERT_EQ(ISSELECTINDEX(nh, 0, false), 0);
    std::vector<int32_t> order = Scan(nh);
    EXPECT_EQ(order.size(), 200u);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    ISCLOSE(nh);
    EXPECT_TRUE(Consistent("src"));
    EXPECT_FALSE(std::filesystem::exists(Path("ist") + std::to_string(getpid()) + ".idx"));
    int shared = BuildSimple("s2");
    EXPECT_EQ(ISCLUSTER(shared, &first), -1);
    EXPECT_EQ(last_error, kNotExclusive);
}

TEST_F(IsamLifecycleTest, CloseAllAndHandleReuse) {
    int a = BuildSimple("h1");
    int b = BuildSimple("h2");
    EXPECT_NE(a, b);
    ASSERT_EQ(ISCLOSE(a), 0);
    EXPECT_EQ(ISCLOSE(a), -1);
    EXPECT_EQ(last_error, kNotOpen);
    int c = ISOPEN(Path("h1").c_str(), OPEN_INOUT);
    EXPECT_EQ(c, a);  // the lowest free slot
    std::vector<int> many;
    for (int i = 0; i < 25; ++i) many.push_back(ISOPEN(Path("h2").c_str(), OPEN_INPUT));
    EXPECT_EQ(*std::min_element(many.begin(), many.end()), 2);
    ASSERT_EQ(ISCLOSEALL(), 0);
    EXPECT_EQ(ISCLOSE(b), -1);
    EXPECT_EQ(ISOPEN(Path("h2").c_str(), OPEN_INOUT | LOCKMODE_EXCL), 0);
}

}  // namespace
}  // namespace isam_test
