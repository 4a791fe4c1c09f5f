// A failed allocation anywhere inside an engine call is a failed call (116), never an exception
// that leaves the engine, and leaves the files sound. Every allocation of each call is made to
// fail in turn through the program's own operator new.
#include <cstdlib>
#include <functional>
#include <new>

#include "IsamFixture.h"

namespace {

// The allocation number that fails (counted from 0 since arming), or -1 when none is to.
long g_fail_at = -1;
long g_count = 0;
bool g_failed = false;

void* Allocate(std::size_t n) {
    if (g_fail_at >= 0 && g_count++ == g_fail_at) {
        g_failed = true;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}

void* AllocateNoThrow(std::size_t n) noexcept {
    try {
        return Allocate(n);
    } catch (...) {
        return nullptr;
    }
}

void Arm(long at) {
    g_count = 0;
    g_failed = false;
    g_fail_at = at;
}

// Disarms; true when the armed allocation did fail.
bool Disarm() {
    g_fail_at = -1;
    return g_failed;
}

}  // namespace

void* operator new(std::size_t n) {
    return Allocate(n);
}
void* operator new[](std::size_t n) {
    return Allocate(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return AllocateNoThrow(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    return AllocateNoThrow(n);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace isam_test {
namespace {

class IsamOutOfMemoryTest : public IsamTest {
  protected:
    void SetUp() override {
        IsamTest::SetUp();
        name_ = Path("m");
        int h = BuildSimple("m");
        ASSERT_GE(h, 0);
        // Enough records for a tree of several nodes.
        for (int i = 0; i < 300; ++i) ASSERT_EQ(isam::ISWRITE(h, Rec(i * 7 % 300, i).data()), 0);
        isam::ISCLOSE(h);
    }

    // Runs op with each of its allocations failing in turn, then with none failing. A failed
    // call must say 116 and leave the files sound; answers op's result when nothing failed.
    int Sweep(const char* what, const std::function<int()>& op) {
        for (long at = 0; at < 100000; ++at) {
            Arm(at);
            int rc;
            try {
                rc = op();
            } catch (...) {
                Disarm();
                ADD_FAILURE() << what << ": an exception left the call at allocation " << at;
                return -1;
            }
            const bool failed = Disarm();
            const int err = isam::last_error;
            isam::ISCLOSEALL();
            if (!failed) {
                if (rc < 0) ADD_FAILURE() << what << " failed with " << err << " after " << at;
                return rc;
            }
            if (rc < 0) {
                EXPECT_EQ(err, isam::kNoMemory) << what << " at allocation " << at;
            }
            if (!Consistent("m")) {
                ADD_FAILURE() << what << ": files left unsound at allocation " << at;
                return -1;
            }
        }
        ADD_FAILURE() << what << ": never ran to the end";
        return -1;
    }

    int Open(int mode = isam::OPEN_INOUT) {
        Disarm();
        int h = isam::ISOPEN(name_.c_str(), mode);
        EXPECT_GE(h, 0);
        return h;
    }

    std::string name_;
    const isam::KeyDesc second_ = Key({{4, 4, isam::KP_INT32}}, isam::KEY_DUPS);
};

TEST_F(IsamOutOfMemoryTest, EveryEntryPointFailsCleanly) {
    EXPECT_GE(Sweep("open", [&] { return isam::ISOPEN(name_.c_str(), isam::OPEN_INOUT); }), 0);
    EXPECT_EQ(Sweep("write",
                    [&] {
                        const long at = g_fail_at;
                        int h = Open();
                        const std::vector<uint8_t> r = Rec(1000, 1);
                        Arm(at);
                        return isam::ISWRITE(h, r.data());
                    }),
              0);
    EXPECT_EQ(Sweep("read",
                    [&] {
                        const long at = g_fail_at;
                        int h = Open();
                        std::vector<uint8_t> r = Rec(150);
                        Arm(at);
                        return isam::ISREAD(h, r.data(), isam::EQUAL);
                    }),
              0);
    EXPECT_EQ(Sweep("addindex",
                    [&] {
                        const long at = g_fail_at;
                        int h = Open();
                        Arm(at);
                        return isam::ISADDINDEX(h, second_);
                    }),
              0);
    EXPECT_EQ(Sweep("delindex",
                    [&] {
                        const long at = g_fail_at;
                        int h = Open();
                        Arm(at);
                        return isam::ISDELINDEX(h, second_);
                    }),
              0);
    EXPECT_GE(Sweep("cluster",
                    [&] {
                        const long at = g_fail_at;
                        int h = Open(isam::OPEN_INOUT | isam::LOCKMODE_EXCL);
                        isam::KeyDesc key = Key({{0, 4, isam::KP_INT32}});
                        Arm(at);
                        return isam::ISCLUSTER(h, &key);
                    }),
              0);
    EXPECT_EQ(Sweep("repair", [&] { return isam::RepairFiles(name_.c_str()); }), 0);
    std::vector<std::string> problems;
    EXPECT_EQ(Sweep("check",
                    [&] {
                        problems.clear();
                        const bool ok = isam::CheckFiles(name_.c_str(), &problems);
                        if (!ok && g_failed) {
                            // The stop is a problem of its own, with the engine's text.
                            EXPECT_FALSE(problems.empty());
                            if (!problems.empty()) {
                                EXPECT_NE(problems.back().find("can't allocate memory (116)"),
                                          std::string::npos)
                                    << problems.back();
                            }
                            isam::last_error = isam::kNoMemory;
                        }
                        return ok ? 0 : -1;
                    }),
              0);
    // Every record is still there, in key order.
    int h = Open();
    std::vector<int32_t> keys = Scan(h);
    ASSERT_EQ(keys.size(), 301u);
    EXPECT_EQ(keys.front(), 0);
    EXPECT_EQ(keys.back(), 1000);
}

// Deferred calls, one of which fails at each allocation in turn: that call alone is undone, the
// others (before and after it) reach the files at the close, and no record number is lost.
TEST_F(IsamOutOfMemoryTest, DeferredCallFailingAtAnyAllocationIsUndoneAlone) {
    const auto idx = ReadBytes(name_ + ".idx"), dat = ReadBytes(name_ + ".dat");
    std::vector<std::vector<uint8_t>> recs;  // made before arming: only the engine's may fail
    for (int i = 0; i < 400; ++i) recs.push_back(Rec(1000 + i, i));
    bool failed = true;
    for (long at = 0; failed; ++at) {
        ASSERT_LT(at, 100000);
        WriteBytes(name_ + ".idx", idx);
        WriteBytes(name_ + ".dat", dat);
        int h = Open(isam::OPEN_INOUT | isam::LOCKMODE_EXCL);
        ASSERT_EQ(isam::DeferWrites(h, size_t(1) << 20), 0);
        for (int i = 0; i < 100; ++i) ASSERT_EQ(isam::ISWRITE(h, recs[size_t(i)].data()), 0);
        // Ascending keys: the last leaf fills and splits during these calls.
        int lost = -1;
        Arm(at);
        for (int i = 100; i < 400; ++i) {
            if (isam::ISWRITE(h, recs[size_t(i)].data()) == 0) continue;
            const int err = isam::last_error;
            Disarm();
            ASSERT_EQ(err, isam::kNoMemory) << at;
            ASSERT_EQ(lost, -1) << at;
            lost = i;
        }
        // (A failure may also fall in trimming the node cache, which the call does without.)
        failed = Disarm();
        ASSERT_EQ(isam::ISCLOSE(h), 0) << at;
        ASSERT_TRUE(Consistent("m")) << at;
        h = Open(isam::OPEN_INPUT);
        for (int i = 0; i < 400; ++i) {
            std::vector<uint8_t> r = Rec(1000 + i);
            ASSERT_EQ(isam::ISREAD(h, r.data(), isam::EQUAL), i == lost ? -1 : 0) << at << " " << i;
            if (i != lost) {
                ASSERT_EQ(B(r), i);
            }
        }
        EXPECT_EQ(Scan(h).size(), lost >= 0 ? 699u : 700u) << at;
        // Numbers taken one after another: none went to the failed call.
        std::vector<uint8_t> r(8);
        ASSERT_EQ(isam::ISSELECTINDEX(h, 0, false), 0);
        ASSERT_EQ(isam::ISREAD(h, r.data(), isam::LAST), 0);
        EXPECT_EQ(isam::last_recnum, lost >= 0 ? 699 : 700) << at;
        isam::ISCLOSE(h);
    }
}

}  // namespace
}  // namespace isam_test
