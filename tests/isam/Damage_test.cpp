// Damaged files: every damage gives errors (or a list of problems from the checker), never a
// crash, a read outside a buffer or an endless loop; a half-done write is found and repaired.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <random>

#include "IsamFixture.h"
#include "isam/IsamFile.h"

namespace isam_test {
namespace {

using namespace isam;

class IsamDamageTest : public IsamTest {
  protected:
    void SetUp() override {
        IsamTest::SetUp();
        int h = BuildSimple("base");
        ASSERT_GE(h, 0);
        ASSERT_EQ(
            ISADDINDEX(h, Key({{4, 4, KP_INT32}}, KEY_DUPS | KEY_LEAD_COMPRESS | KEY_DUP_COMPRESS)),
            0);
        for (int i = 0; i < 400; ++i) ASSERT_EQ(ISWRITE(h, Rec(i * 7 % 400, i % 13).data()), 0);
        for (int i = 0; i < 400; i += 5) ASSERT_EQ(ISDELETE(h, Rec(i).data()), 0);
        ASSERT_EQ(ISCLOSE(h), 0);
        idx_ = ReadBytes(Path("base.idx"));
        dat_ = ReadBytes(Path("base.dat"));
    }
    static uint32_t Be(const std::vector<uint8_t>& b, size_t off) { return load_be32(&b[off]); }
    static uint8_t* Node(std::vector<uint8_t>& b, uint32_t n) { return &b[(n - 1) * 1024]; }
    // First child of the root of index 1 (a leaf or a branch below the root).
    uint32_t FirstChild() { return load_be32(Node(idx_, 3) + 2 + 4); }

    // Writes the damaged files, then uses them every way; reports whether the checker objected.
    bool Exercise(const std::vector<uint8_t>& idx, const std::vector<uint8_t>& dat) {
        WriteBytes(Path("x.idx"), idx);
        WriteBytes(Path("x.dat"), dat);
        std::vector<std::string> problems;
        bool clean = CheckFiles(Path("x").c_str(), &problems);
        int h = ISOPEN(Path("x").c_str(), OPEN_INOUT);
        if (h >= 0) {
            std::vector<uint8_t> r(8);
            for (int index = 0; index <= 2; ++index) {
                ISSELECTINDEX(h, index, false);
                int steps = 0;
                for (int mode = FIRST; ISREAD(h, r.data(), mode) == 0 && steps < 100000;
                     mode = NEXT)
                    ++steps;
                EXPECT_LT(steps, 100000);
                steps = 0;
                for (int mode = LAST; ISREAD(h, r.data(), mode) == 0 && steps < 100000; mode = PREV)
                    ++steps;
                EXPECT_LT(steps, 100000);
            }
            ISSELECTINDEX(h, 1, false);
            for (int k = 0; k < 400; k += 37) {
                r = Rec(k);
                ISREAD(h, r.data(), EQUAL);
            }
            ISWRITE(h, Rec(1000, 3).data());
            ISDELETE(h, Rec(7).data());
            ISREWRITE(h, Rec(14, 99).data());
            ISCLOSE(h);
        }
        CheckFiles(Path("x").c_str(), &problems);  // after the writes too
        return clean;
    }

    std::vector<uint8_t> idx_, dat_;
};

TEST_F(IsamDamageTest, BaseFilesAreSound) {
    EXPECT_TRUE(Exercise(idx_, dat_));
}

TEST_F(IsamDamageTest, EachDamageIsReportedAndSurvived) {
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&, std::vector<uint8_t>&)> damage;
    };
    const uint32_t child = FirstChild();
    const uint32_t root2 = [&] {
        std::vector<uint8_t> d = idx_;
        return load_be32(Node(d, 2) + 6 + 12 + 2);  // second dictionary entry's root
    }();
    const Case cases[] = {
        {"index file cut inside the header", [](auto& i, auto&) { i.resize(1500); }},
        {"index file cut after the root", [](auto& i, auto&) { i.resize(3 * 1024); }},
        {"data file cut short", [](auto&, auto& d) { d.resize(d.size() / 2 + 3); }},
        {"garbage in a tree node",
         [&](auto& i, auto&) {
             std::mt19937 rng(5);
             for (int k = 0; k < 1024; ++k) Node(i, child)[k] = uint8_t(rng());
         }},
        {"impossible bytes used", [&](auto& i, auto&) { store_be16(Node(i, child), 0xFFF0); }},
        {"impossible index count", [](auto& i, auto&) { store_be16(&i[8], 999); }},
        {"impossible node size", [](auto& i, auto&) { store_be16(&i[6], 3); }},
        {"highest node beyond the file", [](auto& i, auto&) { store_be32(&i[37], 0x7FFFFF00); }},
        {"tree pointing back at its root",
         [&](auto& i, auto&) { store_be32(Node(i, 3) + 2 + 4, 3); }},
        {"child pointing at the header",
         [&](auto& i, auto&) { store_be32(Node(i, 3) + 2 + 4, 1); }},
        {"wrong level byte", [&](auto& i, auto&) { Node(i, child)[1022] = 7; }},
        {"compressed node with bad counts",
         [&](auto& i, auto&) { std::memset(Node(i, root2) + 2, 0xFF, 40); }},
        {"index free list looping on itself",
         [&](auto& i, auto&) {
             uint32_t head = child;  // make a tree node the list head, pointing at itself
             store_be32(&i[29], head);
             store_be16(Node(i, head), 6);
             store_be32(Node(i, head) + 2, head);
         }},
        {"data free list naming a live record",
         [&](auto& i, auto&) {
             uint32_t head = load_be32(&i[25]);
             uint8_t* n = Node(i, head);
             store_be32(n + load_be16(n) - 4, 2);
         }},
        {"dictionary chain looping",
         [](auto& i, auto&) {
             store_be32(&i[1024 + 2], 2);
             store_be16(&i[8], 5);
         }},
        {"entry pointing past the records",
         [&](auto& i, auto&) {
             uint32_t leaf = 3;
             while (Node(i, leaf)[1022] > 0) leaf = load_be32(Node(i, leaf) + 2 + 4);
             store_be32(Node(i, leaf) + 2 + 4, 0x00FFFFFF);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> idx = idx_, dat = dat_;
        c.damage(idx, dat);
        EXPECT_FALSE(Exercise(idx, dat)) << "the checker missed: " << c.what;
        // Nothing is written far beyond the ends of the files on the word of a damaged header.
        EXPECT_LT(std::filesystem::file_size(Path("x.idx")), idx.size() + 64 * 1024);
        EXPECT_LT(std::filesystem::file_size(Path("x.dat")), dat.size() + 64 * 1024);
    }
}

TEST_F(IsamDamageTest, LiveRecordOnTheFreeListIsNeverOverwritten) {
    std::vector<uint8_t> idx = idx_;
    uint32_t head = load_be32(&idx[25]);
    uint8_t* n = Node(idx, head);
    store_be32(n + load_be16(n) - 4, 2);
    WriteBytes(Path("x.idx"), idx);
    WriteBytes(Path("x.dat"), dat_);
    int h = ISOPEN(Path("x").c_str(), OPEN_INOUT);
    ASSERT_GE(h, 0);
    std::vector<uint8_t> before(8), after(8);
    ASSERT_EQ(ISREADREC(h, before.data(), 2), 0);
    EXPECT_EQ(ISWRITE(h, Rec(5000).data()), -1);
    EXPECT_EQ(last_error, kCorrupt);
    ASSERT_EQ(ISREADREC(h, after.data(), 2), 0);
    EXPECT_EQ(before, after);
}

TEST_F(IsamDamageTest, HalfDoneWriteIsFoundAndRepaired) {
    // The index file as it was before a write, with the data file after it: the record's slot is
    // live and counted but its index entries never reached the file.
    int h = ISOPEN(Path("base").c_str(), OPEN_INOUT);
    ASSERT_GE(h, 0);
    ASSERT_EQ(ISWRITE(h, Rec(4321, 1).data()), 0);
    const int32_t recnum = last_recnum;
    ASSERT_EQ(ISCLOSE(h), 0);
    std::vector<uint8_t> idx = ReadBytes(Path("base.idx"));
    // Put back every node but the header and the free lists.
    for (size_t off = 1024; off < idx_.size(); ++off) {
        uint32_t node = uint32_t(off / 1024 + 1);
        if (node != load_be32(&idx[25]) && node != load_be32(&idx[29])) idx[off] = idx_[off];
    }
    WriteBytes(Path("base.idx"), idx);
    std::vector<std::string> problems;
    EXPECT_FALSE(CheckFiles(Path("base").c_str(), &problems));
    bool named = false;
    for (auto& p : problems)
        named |= p.find("record " + std::to_string(recnum) + " is missing") != std::string::npos;
    EXPECT_TRUE(named);
    ASSERT_EQ(RepairFiles(Path("base").c_str()), 0);
    EXPECT_TRUE(Consistent("base"));
    h = ISOPEN(Path("base").c_str(), OPEN_INPUT);
    std::vector<uint8_t> r = Rec(4321);
    ASSERT_EQ(ISREAD(h, r.data(), EQUAL), 0);
    EXPECT_EQ(last_recnum, recnum);
    EXPECT_EQ(Scan(h).size(), 321u);
}

// Repair first proves that the data file belongs to the index file: one that does not is reported
// by check and refused by repair, and neither file is touched.
TEST_F(IsamDamageTest, RepairRefusesADataFileThatDoesNotFit) {
    auto build = [&](const char* name, int reclen, int count) {
        int h = ISBUILD(Path(name).c_str(), reclen, Key({{0, 4, KP_INT32}}), OPEN_INOUT);
        ASSERT_GE(h, 0);
        std::vector<uint8_t> r(size_t(reclen), 0x20);
        for (int i = 0; i < count; ++i) {
            store_be32(r.data(), uint32_t(i));
            ASSERT_EQ(ISWRITE(h, r.data()), 0);
        }
        ASSERT_EQ(ISCLOSE(h), 0);
    };
    build("small", 16, 5);
    build("large", 32, 2000);
    struct Case {
        const char* what;
        std::vector<uint8_t> idx, dat;
    };
    std::vector<uint8_t> odd_flag = dat_;
    odd_flag[9 * 3 + 8] = 0x41;  // record 4's flag byte
    const Case cases[] = {
        {"the data file of a file with longer records", ReadBytes(Path("small.idx")),
         ReadBytes(Path("large.dat"))},
        {"a flag byte neither live nor deleted", idx_, odd_flag},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(Path("x.idx"), c.idx);
        WriteBytes(Path("x.dat"), c.dat);
        std::vector<std::string> problems;
        EXPECT_FALSE(CheckFiles(Path("x").c_str(), &problems));
        std::string why;
        EXPECT_EQ(RepairFiles(Path("x").c_str(), &why), -1);
        EXPECT_EQ(last_error, kCorrupt);
        EXPECT_NE(why, "");
        EXPECT_EQ(ReadBytes(Path("x.idx")), c.idx);
        EXPECT_EQ(ReadBytes(Path("x.dat")), c.dat);
        EXPECT_FALSE(std::filesystem::exists(Path("x.idx~")));
    }
}

// A live record past the highest record number is reported, and repair indexes it.
TEST_F(IsamDamageTest, RepairKeepsALiveRecordBeyondTheHighestNumber) {
    std::vector<uint8_t> dat = dat_;
    std::vector<uint8_t> slot = Rec(9999, 1);
    slot.push_back(0x0A);
    dat.insert(dat.end(), slot.begin(), slot.end());
    WriteBytes(Path("x.idx"), idx_);
    WriteBytes(Path("x.dat"), dat);
    std::vector<std::string> problems;
    EXPECT_FALSE(CheckFiles(Path("x").c_str(), &problems));
    ASSERT_EQ(RepairFiles(Path("x").c_str()), 0);
    EXPECT_TRUE(Consistent("x"));
    int h = ISOPEN(Path("x").c_str(), OPEN_INPUT);
    std::vector<uint8_t> r = Rec(9999);
    ASSERT_EQ(ISREAD(h, r.data(), EQUAL), 0);
    EXPECT_EQ(last_recnum, 401);
    ISCLOSE(h);
}

// Repair keeps the index file as it found it until it has succeeded.
TEST_F(IsamDamageTest, RepairKeepsACopyUntilItSucceeds) {
    const std::string copy = Path("base.idx~");
    bool kept = false;
    for (int budget = 0; budget < 5 && !kept; ++budget) {
        WriteBytes(Path("base.idx"), idx_);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            detail::SetTestHooks({.crash_after_writes = budget});
            RepairFiles(Path("base").c_str());
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status));
        kept = std::filesystem::exists(copy) && ReadBytes(copy) == idx_;
    }
    ASSERT_TRUE(kept);
    ASSERT_EQ(RepairFiles(Path("base").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(copy));
    EXPECT_TRUE(Consistent("base"));
}

// A large, mostly empty index file: the copy repair keeps has its size but not its blocks.
TEST_F(IsamDamageTest, RepairCopiesAHollowIndexWithoutFillingTheDisk) {
    const std::string copy = Path("base.idx~");
    const off_t size = off_t(idx_.size()) + (off_t(1) << 30);
    bool kept = false;
    for (int budget = 0; budget < 5 && !kept; ++budget) {
        WriteBytes(Path("base.idx"), idx_);
        ASSERT_EQ(truncate(Path("base.idx").c_str(), size), 0);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            detail::SetTestHooks({.crash_after_writes = budget});
            RepairFiles(Path("base").c_str());
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        struct stat st;
        kept = WIFSIGNALED(status) && stat(copy.c_str(), &st) == 0 && st.st_size == size;
        if (kept) {
            EXPECT_LT(st.st_blocks * 512, off_t(16) << 20);
        }
    }
    ASSERT_TRUE(kept);
    std::ifstream in(copy, std::ios::binary);
    std::vector<uint8_t> head(idx_.size());
    in.read(reinterpret_cast<char*>(head.data()), std::streamsize(head.size()));
    EXPECT_EQ(head, idx_);
}

TEST_F(IsamDamageTest, FatalHookHearsOfFailedChecks) {
    static std::string heard;
    ISSETFATALHOOK([](const char* msg) { heard = msg; });
    std::vector<uint8_t> idx = idx_;
    const uint32_t root2 = load_be32(Node(idx, 2) + 6 + 12 + 2);
    std::memset(Node(idx, root2) + 2, 0xFF, 40);
    WriteBytes(Path("x.idx"), idx);
    WriteBytes(Path("x.dat"), dat_);
    int h = ISOPEN(Path("x").c_str(), OPEN_INPUT);
    ASSERT_GE(h, 0);
    ASSERT_EQ(ISSELECTINDEX(h, 2, false), 0);
    std::vector<uint8_t> r(8);
    EXPECT_EQ(ISREAD(h, r.data(), FIRST), -1);
    EXPECT_EQ(last_error, kCorrupt);
    EXPECT_EQ(heard.rfind("fatal isam error ISCOMP(", 0), 0u) << heard;
    ISSETFATALHOOK(nullptr);
}

// Files cut short behind an open handle: reads through the engine's maps fault on pages past the
// new end. Every call fails (105 where a mapped read faulted), nothing is written back, and once
// the files are back the same handle reads and rewrites them again.
TEST_F(IsamTest, FilesCutShortBehindOpenHandleFailCleanly) {
    const int n = 3000;
    int h = BuildSimple("t");
    ASSERT_GE(h, 0);
    ASSERT_EQ(ISADDINDEX(h, Key({{4, 4, KP_INT32}}, KEY_DUPS)), 0);
    for (int i = 0; i < n; ++i) ASSERT_EQ(ISWRITE(h, Rec(i, i * 3).data()), 0);
    const auto idx = ReadBytes(Path("t.idx")), dat = ReadBytes(Path("t.dat"));
    ASSERT_GT(idx.size(), 4 * 4096u);
    ASSERT_GT(dat.size(), 4 * 4096u);

    auto cut = [&](const char* ext, off_t size) {
        int fd = ::open(Path(std::string("t") + ext).c_str(), O_RDWR);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
    };
    auto size_of = [&](const char* ext) {
        return std::filesystem::file_size(Path(std::string("t") + ext));
    };
    struct Case {
        const char* what;
        off_t idx_size, dat_size;  // -1: left whole
    };
    const Case cases[] = {
        {"index cut after its first page", 4096, -1},
        {"data file emptied", -1, 0},
        {"both emptied", 0, 0},
    };
    ASSERT_EQ(ISCLOSE(h), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A fresh handle caches only the last record's path; its reads map both files whole.
        h = ISOPEN(Path("t").c_str(), OPEN_INOUT);
        ASSERT_GE(h, 0);
        std::vector<uint8_t> r = Rec(n - 1);
        ASSERT_EQ(ISREAD(h, r.data(), EQUAL), 0);
        ASSERT_EQ(B(r), (n - 1) * 3);
        if (c.idx_size >= 0) cut(".idx", c.idx_size);
        if (c.dat_size >= 0) cut(".dat", c.dat_size);
        const auto idx_cut = size_of(".idx"), dat_cut = size_of(".dat");

        // The first read touches a page past the new end of a file: the fault becomes 105.
        r = Rec(n / 2);
        EXPECT_EQ(ISREAD(h, r.data(), EQUAL), -1);
        EXPECT_EQ(last_error, kCorrupt);
        r = Rec(n / 3);
        EXPECT_EQ(ISREAD(h, r.data(), EQUAL), -1);
        EXPECT_NE(last_error, 0);
        EXPECT_EQ(ISREAD(h, r.data(), NEXT), -1);
        EXPECT_NE(last_error, 0);
        EXPECT_EQ(ISREWRITE(h, Rec(n / 4, 1).data()), -1);
        EXPECT_NE(last_error, 0);
        // Nothing read from the damaged files went back to them.
        EXPECT_EQ(size_of(".idx"), idx_cut);
        EXPECT_EQ(size_of(".dat"), dat_cut);

        WriteBytes(Path("t.idx"), idx);
        WriteBytes(Path("t.dat"), dat);
        for (int k : {0, n / 4, n / 2, n - 1}) {
            r = Rec(k);
            ASSERT_EQ(ISREAD(h, r.data(), EQUAL), 0) << k;
            EXPECT_EQ(B(r), k * 3);
        }
        ASSERT_EQ(ISREAD(h, r.data(), NEXT), -1);
        EXPECT_EQ(last_error, kEndOfFile);
        ASSERT_EQ(ISCLOSE(h), 0);
    }
    h = ISOPEN(Path("t").c_str(), OPEN_INOUT);
    ASSERT_GE(h, 0);
    ASSERT_EQ(ISREWRITE(h, Rec(n / 4, 1).data()), 0);
    std::vector<uint8_t> r = Rec(n / 4);
    ASSERT_EQ(ISREAD(h, r.data(), EQUAL), 0);
    EXPECT_EQ(B(r), 1);
    ASSERT_EQ(ISCLOSE(h), 0);
    EXPECT_TRUE(Consistent("t"));
}

// A fault outside the engine's mappings still reaches the previous handler or the default action.
TEST_F(IsamTest, ForeignBusErrorIsNotSwallowed) {
    int h = BuildSimple("f");
    ASSERT_GE(h, 0);
    ASSERT_EQ(ISWRITE(h, Rec(1).data()), 0);
    std::vector<uint8_t> r = Rec(1);
    ASSERT_EQ(ISREAD(h, r.data(), EQUAL), 0);  // the engine has mapped a file: its handler is set
    EXPECT_DEATH(
        {
            const std::string path = Path("other");
            WriteBytes(path, std::vector<uint8_t>(8192, 1));
            int fd = ::open(path.c_str(), O_RDWR);
            auto* p =
                static_cast<volatile uint8_t*>(::mmap(nullptr, 8192, PROT_READ, MAP_SHARED, fd, 0));
            if (p == MAP_FAILED || ::ftruncate(fd, 0) != 0) std::exit(0);
            std::printf("%d\n", p[4096]);
            std::exit(0);
        },
        "");
}

}  // namespace
}  // namespace isam_test
