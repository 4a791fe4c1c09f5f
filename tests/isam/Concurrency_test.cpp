// Several processes on one file: record locks between forked writers, and a writer killed with
// SIGKILL in the middle of its work.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "IsamFixture.h"
#include "isam/IsamFile.h"

namespace isam_test {
namespace {

using namespace isam;

using IsamConcurrencyTest = IsamTest;

constexpr int kCounterKey = 0;

// One worker: writes its own records, and increments the shared counter record under a lock.
int Worker(const std::string& name, int who, int rounds) {
    int h = ISOPEN(name.c_str(), OPEN_INOUT | LOCKMODE_AUTO);
    if (h < 0) return 10;
    std::vector<uint8_t> r(8);
    for (int i = 1; i <= rounds; ++i) {
        store_be32(r.data(), uint32_t(who * 100000 + i));
        store_be32(r.data() + 4, uint32_t(who));
        if (ISWRITE(h, r.data()) != 0) return 11;
        store_be32(r.data(), kCounterKey);
        if (ISREAD(h, r.data(), EQUAL) != 0) return 12;  // waits for the lock
        store_be32(r.data() + 4, load_be32(r.data() + 4) + 1);
        if (ISREWRITE(h, r.data()) != 0) return 13;
        // Read back an own record by key and rewrite it.
        store_be32(r.data(), uint32_t(who * 100000 + (i + 1) / 2));
        if (ISREAD(h, r.data(), EQUAL) != 0) return 14;
        store_be32(r.data() + 4, load_be32(r.data() + 4) + 10);
        if (ISREWRITE(h, r.data()) != 0) return 15;
    }
    return ISCLOSE(h) == 0 ? 0 : 16;
}

TEST_F(IsamConcurrencyTest, TwoProcessesShareRecordsUnderLocks) {
    const std::string name = Path("shared");
    int h = BuildSimple("shared");
    ASSERT_EQ(ISWRITE(h, Rec(kCounterKey, 0).data()), 0);
    ASSERT_EQ(ISCLOSE(h), 0);
    const int rounds = 400;
    std::vector<pid_t> pids;
    for (int who = 1; who <= 2; ++who) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) _exit(Worker(name, who, rounds));
        pids.push_back(pid);
    }
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    h = ISOPEN(name.c_str(), OPEN_INPUT);
    ASSERT_GE(h, 0);
    std::vector<uint8_t> r = Rec(kCounterKey);
    ASSERT_EQ(ISREAD(h, r.data(), EQUAL), 0);
    EXPECT_EQ(B(r), 2 * rounds);  // no increment lost
    std::vector<int32_t> all = Scan(h);
    EXPECT_EQ(all.size(), size_t(2 * rounds + 1));
    EXPECT_EQ(std::set<int32_t>(all.begin(), all.end()).size(), all.size());
    EXPECT_TRUE(Consistent("shared"));
}

// A handle whose nodes are cached sees another process's writes at its next call, and a record
// that process holds locked cannot be rewritten or deleted.
TEST_F(IsamConcurrencyTest, CachedHandleSeesAnotherProcesssWritesAndLocks) {
    const std::string name = Path("seen");
    int h = BuildSimple("seen");
    ASSERT_GE(h, 0);
    ASSERT_EQ(ISWRITE(h, Rec(1, 1).data()), 0);
    ASSERT_EQ(ISCLOSE(h), 0);
    int to_parent[2], to_child[2];
    ASSERT_EQ(pipe(to_parent), 0);
    ASSERT_EQ(pipe(to_child), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        char go = 'g';
        if (read(to_child[0], &go, 1) != 1) _exit(40);
        int ch = ISOPEN(name.c_str(), OPEN_INOUT | LOCKMODE_MANUAL);
        if (ch < 0) _exit(41);
        for (int i = 2; i <= 2000; ++i)
            if (ISWRITE(ch, Rec(i, i).data()) != 0) _exit(42);
        std::vector<uint8_t> c = Rec(1);
        if (ISREAD(ch, c.data(), EQUAL | LOCK_KEEP) != 0) _exit(43);
        if (write(to_parent[1], &go, 1) != 1 || read(to_child[0], &go, 1) != 1) _exit(44);
        _exit(0);
    }
    h = ISOPEN(name.c_str(), OPEN_INOUT | LOCKMODE_MANUAL);
    ASSERT_GE(h, 0);
    std::vector<uint8_t> r = Rec(1);
    ASSERT_EQ(ISREAD(h, r.data(), EQUAL), 0);  // the root is now cached
    char go = 'g';
    ASSERT_EQ(write(to_child[1], &go, 1), 1);
    ASSERT_EQ(read(to_parent[0], &go, 1), 1);
    r = Rec(1500);
    EXPECT_EQ(ISREAD(h, r.data(), EQUAL), 0);
    EXPECT_EQ(B(r), 1500);
    EXPECT_EQ(Scan(h).size(), 2000u);
    EXPECT_EQ(ISREWRITE(h, Rec(1, 7).data()), -1);
    EXPECT_EQ(last_error, 107);
    EXPECT_EQ(ISDELETE(h, Rec(1).data()), -1);
    EXPECT_EQ(last_error, 107);
    ASSERT_EQ(write(to_child[1], &go, 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ISREWRITE(h, Rec(1, 7).data()), 0);  // the lock went with the process
    EXPECT_EQ(ISCLOSE(h), 0);
    EXPECT_TRUE(Consistent("seen"));
}

// A shared handle scanning through a leaf it has cached sees what another process changed
// ahead of it in that leaf at its very next step: a rewrite, an insert and a delete; and a
// scan while that process keeps rewriting never returns a half-written record.
TEST_F(IsamConcurrencyTest, AScanMidLeafSeesAnotherProcesssChangesAtItsNextStep) {
    const std::string name = Path("scan");
    int h = BuildSimple("scan");
    ASSERT_GE(h, 0);
    for (int k = 10; k <= 100; k += 10) ASSERT_EQ(ISWRITE(h, Rec(k, k).data()), 0);
    ASSERT_EQ(ISCLOSE(h), 0);
    int to_parent[2], to_child[2];
    ASSERT_EQ(pipe(to_parent), 0);
    ASSERT_EQ(pipe(to_child), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        char go = 'g';
        int ch = ISOPEN(name.c_str(), OPEN_INOUT | LOCKMODE_MANUAL);
        if (ch < 0 || read(to_child[0], &go, 1) != 1) _exit(40);
        if (ISREWRITE(ch, Rec(20, 2000).data()) != 0 || ISWRITE(ch, Rec(25, 25).data()) != 0 ||
            ISDELETE(ch, Rec(30).data()) != 0)
            _exit(41);
        if (write(to_parent[1], &go, 1) != 1 || read(to_child[0], &go, 1) != 1) _exit(42);
        // Both halves of a record always hold the same value: a torn read would show two.
        for (int round = 0; round < 20000; ++round) {
            const int k = 40 + 10 * (round % 7);
            if (ISREWRITE(ch, Rec(k, round).data()) != 0) _exit(43);
        }
        _exit(0);
    }
    h = ISOPEN(name.c_str(), OPEN_INOUT | LOCKMODE_MANUAL);
    ASSERT_GE(h, 0);
    std::vector<uint8_t> r = Rec(0);
    ASSERT_EQ(ISREAD(h, r.data(), FIRST), 0);
    ASSERT_EQ(A(r), 10);
    char go = 'g';
    ASSERT_EQ(write(to_child[1], &go, 1), 1);
    ASSERT_EQ(read(to_parent[0], &go, 1), 1);
    std::vector<std::pair<int32_t, int32_t>> seen;
    while (seen.size() < 3 && ISREAD(h, r.data(), NEXT) == 0) seen.emplace_back(A(r), B(r));
    EXPECT_EQ(seen, (std::vector<std::pair<int32_t, int32_t>>{{20, 2000}, {25, 25}, {40, 40}}));

    ASSERT_EQ(write(to_child[1], &go, 1), 1);
    int status = 0;
    pid_t done = 0;
    while (done == 0) {
        std::vector<int32_t> keys;
        for (int rc = ISREAD(h, r.data(), FIRST); rc == 0; rc = ISREAD(h, r.data(), NEXT)) {
            keys.push_back(A(r));
            const int32_t v = B(r);
            if (A(r) >= 40) {
                ASSERT_TRUE(v == A(r) || (v >= 0 && v < 20000 && 40 + 10 * (v % 7) == A(r)))
                    << A(r) << " holds " << v;
            }
        }
        ASSERT_EQ(last_error, kEndOfFile);
        ASSERT_EQ(keys, (std::vector<int32_t>{10, 20, 25, 40, 50, 60, 70, 80, 90, 100}));
        done = waitpid(pid, &status, WNOHANG);
    }
    ASSERT_EQ(done, pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ISCLOSE(h), 0);
    EXPECT_TRUE(Consistent("scan"));
}

// The writer reports each call before and after it: "b OP KEY VALUE" then "a".
void Writer(const std::string& name, int fd, int first_key) {
    int h = ISOPEN(name.c_str(), OPEN_INOUT);
    if (h < 0) _exit(20);
    std::mt19937 rng{static_cast<unsigned>(first_key)};
    std::vector<uint8_t> r(8);
    char line[64];
    for (int key = first_key;; ++key) {
        bool rewrite = key > first_key + 10 && rng() % 2;
        int target = rewrite ? first_key + int(rng() % unsigned(key - first_key)) : key;
        int value = int(rng() % 1000000);
        int n = snprintf(line, sizeof line, "b %c %d %d\n", rewrite ? 'r' : 'w', target, value);
        if (write(fd, line, size_t(n)) != n) _exit(21);
        store_be32(r.data(), uint32_t(target));
        store_be32(r.data() + 4, uint32_t(value));
        if ((rewrite ? ISREWRITE(h, r.data()) : ISWRITE(h, r.data())) != 0) _exit(22);
        if (write(fd, "a\n", 2) != 2) _exit(23);
        if (rewrite) --key;
    }
}

TEST_F(IsamConcurrencyTest, KilledWriterLosesAtMostItsCallInProgress) {
    const std::string name = Path("crash");
    int h = BuildSimple("crash");
    ASSERT_GE(h, 0);
    ASSERT_EQ(
        ISADDINDEX(h, Key({{4, 4, KP_INT32}}, KEY_DUPS | KEY_DUP_COMPRESS | KEY_LEAD_COMPRESS)), 0);
    ASSERT_EQ(ISCLOSE(h), 0);
    std::map<int, int> done;  // key -> value whose call returned
    for (int round = 0; round < 4; ++round) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(fds[0]);
            Writer(name, fds[1], 1 + round * 1000000);
        }
        close(fds[1]);
        FILE* in = fdopen(fds[0], "r");
        char line[64];
        int acks = 0;
        const int wanted = 1500 + round * 300;
        struct Pending {
            char op;
            int key, value;
        } pending{0, 0, 0};
        bool in_flight = false;
        auto take = [&](const char* l) {
            if (l[0] == 'b') {
                sscanf(l, "b %c %d %d", &pending.op, &pending.key, &pending.value);
                in_flight = true;
            } else if (l[0] == 'a' && in_flight) {
                done[pending.key] = pending.value;
                in_flight = false;
                ++acks;
            }
        };
        while (acks < wanted && fgets(line, sizeof line, in)) take(line);
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer stopped by itself: " << WEXITSTATUS(status);
        while (fgets(line, sizeof line, in)) take(line);
        fclose(in);

        // Every record whose call returned is found by its key at once, with its value (or, for
        // the call in progress, possibly the new one), before any repair.
        auto verify = [&](bool exact_count) {
            int rh = ISOPEN(name.c_str(), OPEN_INPUT);
            ASSERT_GE(rh, 0) << last_error;
            for (auto& [key, value] : done) {
                std::vector<uint8_t> r = Rec(key);
                ASSERT_EQ(ISREAD(rh, r.data(), EQUAL), 0) << "key " << key << " round " << round;
                bool maybe_new = in_flight && pending.key == key;
                if (!(maybe_new && B(r) == pending.value)) {
                    EXPECT_EQ(B(r), value) << key;
                }
            }
            if (exact_count) {
                size_t count = Scan(rh).size();
                bool extra = in_flight && pending.op == 'w';
                EXPECT_TRUE(count == done.size() || (extra && count == done.size() + 1)) << count;
                if (extra && count == done.size() + 1) done[pending.key] = pending.value;
                // The call in progress may have reached the file: from now on its value counts.
                if (in_flight && done.count(pending.key)) {
                    std::vector<uint8_t> r = Rec(pending.key);
                    if (ISREAD(rh, r.data(), EQUAL) == 0) done[pending.key] = B(r);
                }
            }
            ISCLOSE(rh);
        };
        verify(false);
        // A cut operation may leave its own record out of step in an index, or, cut inside a
        // node split, entries present twice; the checker finds that and repair rebuilds.
        std::vector<std::string> problems;
        if (!CheckFiles(name.c_str(), &problems)) {
            ASSERT_TRUE(in_flight);
            for (const auto& p : problems) std::printf("after the kill: %s\n", p.c_str());
            ASSERT_EQ(RepairFiles(name.c_str()), 0) << last_error;
        }
        ASSERT_TRUE(Consistent("crash"));
        verify(true);
    }
}

// An index change cut after each of its writes in turn: the files open at once, the primary
// key still finds the records, and check passes or repair makes it pass.
TEST_F(IsamConcurrencyTest, IndexChangeCutAfterAnyWriteLeavesFilesThatOpen) {
    const std::string name = Path("indexes");
    const KeyDesc second = Key({{4, 4, KP_INT32}}, KEY_DUPS | KEY_DUP_COMPRESS);
    int h = BuildSimple("indexes");
    ASSERT_GE(h, 0);
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(ISWRITE(h, Rec(i, i % 97).data()), 0);
    ASSERT_EQ(ISCLOSE(h), 0);
    for (bool add : {true, false}) {
        // The drop starts from the files the completed add left.
        const std::vector<uint8_t> idx = ReadBytes(name + ".idx"), dat = ReadBytes(name + ".dat");
        bool completed = false;
        for (int budget = 0; !completed && budget < 1000; ++budget) {
            WriteBytes(name + ".idx", idx);
            WriteBytes(name + ".dat", dat);
            pid_t pid = fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                int ch = ISOPEN(name.c_str(), OPEN_INOUT);
                if (ch < 0) _exit(30);
                detail::SetTestHooks({.crash_after_writes = budget});
                _exit((add ? ISADDINDEX(ch, second) : ISDELINDEX(ch, second)) == 0 ? 0 : 31);
            }
            int status = 0;
            ASSERT_EQ(waitpid(pid, &status, 0), pid);
            if (WIFEXITED(status)) {
                ASSERT_EQ(WEXITSTATUS(status), 0);
                completed = true;
            } else {
                ASSERT_EQ(WTERMSIG(status), SIGKILL);
            }
            const std::string at =
                (add ? "add" : "drop") + std::string(" cut at ") + std::to_string(budget);
            int rh = ISOPEN(name.c_str(), OPEN_INPUT);
            ASSERT_GE(rh, 0) << at << ": open failed with " << last_error;
            std::vector<uint8_t> r = Rec(1234);
            EXPECT_EQ(ISREAD(rh, r.data(), EQUAL), 0) << at;
            EXPECT_EQ(B(r), 1234 % 97) << at;
            ISCLOSE(rh);
            if (!CheckFiles(name.c_str(), nullptr)) {
                ASSERT_EQ(RepairFiles(name.c_str()), 0) << at << ": " << last_error;
            }
            ASSERT_TRUE(Consistent("indexes")) << at;
            // When the change reached the files, the index count says so and nothing else.
            rh = ISOPEN(name.c_str(), OPEN_INPUT);
            const int count = IndexCount(rh);
            EXPECT_TRUE(count == 1 || count == 2) << at;
            if (completed) {
                EXPECT_EQ(count, add ? 2 : 1) << at;
            }
            ISCLOSE(rh);
        }
        EXPECT_TRUE(completed);
    }
}

// The checker reads as readers do: it waits for a write in progress in another process (here
// one that holds the index-level lock while a node is half written) and then finds the files
// sound; a file held exclusively elsewhere is reported as in use, not as damaged.
TEST_F(IsamConcurrencyTest, CheckWaitsForWritesAndReportsAFileInUse) {
    const std::string name = Path("busy");
    int h = BuildSimple("busy");
    ASSERT_GE(h, 0);
    for (int i = 0; i < 500; ++i) ASSERT_EQ(ISWRITE(h, Rec(i).data()), 0);
    ASSERT_EQ(ISCLOSE(h), 0);
    ASSERT_TRUE(Consistent("busy"));
    for (bool exclusive : {false, true}) {
        SCOPED_TRACE(exclusive ? "held exclusively" : "write in progress");
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            char go = 'g';
            if (exclusive) {
                if (ISOPEN(name.c_str(), OPEN_INOUT | LOCKMODE_EXCL) < 0) _exit(50);
                if (write(ready[1], &go, 1) != 1) _exit(51);
                sleep(30);  // ended by the parent
                _exit(0);
            }
            int lck = open((name + ".lck").c_str(), O_RDWR);
            if (lck < 0 ||
                !detail::LockRange(lck, detail::kIndexRegion, detail::kIndexRegion, true))
                _exit(52);
            const std::vector<uint8_t> idx = ReadBytes(name + ".idx");
            std::vector<uint8_t> torn = idx;
            std::memset(torn.data() + 2 * 1024 + 2, 0xEE, 200);  // the root, half written
            WriteBytes(name + ".idx", torn);
            if (write(ready[1], &go, 1) != 1) _exit(53);
            usleep(300 * 1000);
            WriteBytes(name + ".idx", idx);
            _exit(0);  // the lock goes with the process
        }
        char go;
        ASSERT_EQ(read(ready[0], &go, 1), 1);
        std::vector<std::string> problems;
        const bool ok = CheckFiles(name.c_str(), &problems);
        if (exclusive) {
            EXPECT_FALSE(ok);
            ASSERT_EQ(problems.size(), 1u);
            EXPECT_NE(problems[0].find("in use"), std::string::npos) << problems[0];
            kill(pid, SIGKILL);
        } else {
            EXPECT_TRUE(ok);
            for (const auto& p : problems) ADD_FAILURE() << p;
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        if (!exclusive) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        close(ready[0]);
        close(ready[1]);
    }
    EXPECT_TRUE(Consistent("busy"));
}

// A cluster cut after each of its writes, renames and removals in turn: the name opens at once
// with every record, in the old order or in the new, and nothing of the copy is left behind.
TEST_F(IsamConcurrencyTest, ClusterCutAtAnyStepLeavesTheNameWithAllRecords) {
    const std::string name = Path("cl");
    const KeyDesc second = Key({{4, 4, KP_INT32}}, KEY_DUPS);
    int h = BuildSimple("cl");
    ASSERT_GE(h, 0);
    ASSERT_EQ(ISADDINDEX(h, second), 0);
    std::vector<int> keys(150);
    for (int i = 0; i < 150; ++i) keys[size_t(i)] = i;
    std::shuffle(keys.begin(), keys.end(), std::mt19937(3));
    for (int k : keys) ASSERT_EQ(ISWRITE(h, Rec(k, k % 7).data()), 0);
    for (int k = 0; k < 150; k += 10) ASSERT_EQ(ISDELETE(h, Rec(k).data()), 0);
    ASSERT_EQ(ISCLOSE(h), 0);
    const std::vector<uint8_t> idx = ReadBytes(name + ".idx"), dat = ReadBytes(name + ".dat");
    // Every live record in record-number order, as (key, value).
    auto records = [&](int rh) {
        std::vector<std::pair<int32_t, int32_t>> out;
        std::vector<uint8_t> r(8);
        EXPECT_EQ(ISSELECTINDEX(rh, 0, false), 0);
        for (int mode = FIRST; ISREAD(rh, r.data(), mode) == 0; mode = NEXT)
            out.emplace_back(A(r), B(r));
        return out;
    };
    h = ISOPEN(name.c_str(), OPEN_INPUT);
    const auto old_order = records(h);
    ISCLOSE(h);
    ASSERT_EQ(old_order.size(), 135u);
    auto sorted = old_order;
    std::sort(sorted.begin(), sorted.end());
    bool completed = false;
    for (int budget = 0; !completed && budget < 2000; ++budget) {
        const std::string at = "cut at " + std::to_string(budget);
        WriteBytes(name + ".idx", idx);
        WriteBytes(name + ".dat", dat);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int ch = ISOPEN(name.c_str(), OPEN_INOUT | LOCKMODE_EXCL);
            if (ch < 0) _exit(30);
            detail::SetTestHooks({.crash_after_writes = budget});
            _exit(ISCLUSTER(ch, &second) >= 0 ? 0 : 31);
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        if (WIFEXITED(status)) {
            ASSERT_EQ(WEXITSTATUS(status), 0) << at;
            completed = true;
        } else {
            ASSERT_EQ(WTERMSIG(status), SIGKILL) << at;
        }
        // A cut cluster is reported by the checker until an open settles it; a reader without
        // locks may not settle it, and reads the old files unless the swap had begun.
        if (std::filesystem::exists(name + ".cls")) {
            EXPECT_FALSE(CheckFiles(name.c_str(), nullptr));
            int nh = ISOPEN(name.c_str(), OPEN_INPUT | LOCKMODE_NONE);
            if (nh >= 0) {
                EXPECT_EQ(records(nh), old_order) << at;
                ISCLOSE(nh);
            } else {
                EXPECT_EQ(last_error, kFileLocked) << at;
            }
        }
        int rh = ISOPEN(name.c_str(), OPEN_INPUT);
        ASSERT_GE(rh, 0) << at << ": open failed with " << last_error;
        const auto now = records(rh);
        ISCLOSE(rh);
        auto now_sorted = now;
        std::sort(now_sorted.begin(), now_sorted.end());
        ASSERT_EQ(now_sorted, sorted) << at;
        const bool by_second = std::is_sorted(now.begin(), now.end(),
                                              [](auto& x, auto& y) { return x.second < y.second; });
        EXPECT_TRUE(now == old_order || by_second) << at;
        if (completed) {
            EXPECT_TRUE(by_second) << at;
        }
        ASSERT_TRUE(Consistent("cl")) << at;
        for (const auto& e : std::filesystem::directory_iterator(dir_)) {
            const std::string file = e.path().filename().string();
            EXPECT_TRUE(file.rfind("ist", 0) != 0 && file.find(".cls") == std::string::npos)
                << at << ": " << file << " left behind";
        }
    }
    EXPECT_TRUE(completed);
}
// A writer deferring its writes, cut after each write of its write-backs in turn: the files open,
// every record of the last flush it finished is found at once with its value, and check passes
// or repair makes it pass without losing any of them.
TEST_F(IsamConcurrencyTest, DeferredWriterCutAtAnyWriteKeepsWhatItFlushed) {
    const std::string name = Path("late");
    int h = BuildSimple("late");
    ASSERT_GE(h, 0);
    ASSERT_EQ(ISADDINDEX(h, Key({{4, 4, KP_INT32}}, KEY_DUPS)), 0);
    // A tree to change and numbers on the free list for the writer to take.
    std::set<int32_t> old_keys;
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(ISWRITE(h, Rec(i * 10, i % 13).data()), 0);
        old_keys.insert(i * 10);
    }
    for (int i = 0; i < 300; i += 7) {
        ASSERT_EQ(ISDELETE(h, Rec(i * 10).data()), 0);
        old_keys.erase(i * 10);
    }
    ASSERT_EQ(ISCLOSE(h), 0);
    const std::vector<uint8_t> idx = ReadBytes(name + ".idx"), dat = ReadBytes(name + ".dat");
    std::vector<int32_t> keys(400);
    for (size_t j = 0; j < keys.size(); ++j) keys[j] = int32_t(j) * 5 + 1;
    std::shuffle(keys.begin(), keys.end(), std::mt19937(7));
    const int flush_every = 100;
    bool completed = false;
    for (int budget = 0; !completed && budget < 3000; ++budget) {
        const std::string at = "cut at " + std::to_string(budget);
        WriteBytes(name + ".idx", idx);
        WriteBytes(name + ".dat", dat);
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(fds[0]);
            int ch = ISOPEN(name.c_str(), OPEN_INOUT | LOCKMODE_EXCL);
            if (ch < 0 || DeferWrites(ch, 16384) != 0) _exit(30);
            detail::SetTestHooks({.crash_after_writes = budget});
            for (int j = 0; j < int(keys.size()); ++j) {
                if (ISWRITE(ch, Rec(keys[size_t(j)], j).data()) != 0) _exit(31);
                if ((j + 1) % flush_every == 0) {
                    if (ISFLUSH(ch) != 0) _exit(32);
                    const int done = j + 1;
                    if (write(fds[1], &done, sizeof done) != sizeof done) _exit(33);
                }
            }
            _exit(ISCLOSE(ch) == 0 ? 0 : 34);
        }
        close(fds[1]);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        int flushed = 0;
        for (int done; read(fds[0], &done, sizeof done) == sizeof done;) flushed = done;
        close(fds[0]);
        if (WIFEXITED(status)) {
            ASSERT_EQ(WEXITSTATUS(status), 0) << at;
            completed = true;
        } else {
            ASSERT_EQ(WTERMSIG(status), SIGKILL) << at;
        }
        auto find_all = [&](const char* when) {
            int rh = ISOPEN(name.c_str(), OPEN_INPUT);
            ASSERT_GE(rh, 0) << at << " " << when << ": " << last_error;
            for (int j = 0; j < flushed; ++j) {
                std::vector<uint8_t> r = Rec(keys[size_t(j)]);
                ASSERT_EQ(ISREAD(rh, r.data(), EQUAL), 0) << at << " " << when << ": " << j;
                ASSERT_EQ(B(r), j) << at;
            }
            for (int32_t k : old_keys) {
                std::vector<uint8_t> r = Rec(k);
                ASSERT_EQ(ISREAD(rh, r.data(), EQUAL), 0) << at << " " << when << ": " << k;
            }
            ISCLOSE(rh);
        };
        find_all("before repair");
        if (!CheckFiles(name.c_str(), nullptr)) {
            ASSERT_FALSE(completed) << at;
            ASSERT_EQ(RepairFiles(name.c_str()), 0) << at << ": " << last_error;
        }
        ASSERT_TRUE(Consistent("late")) << at;
        find_all("after repair");
        // Beyond those, only records the writer wrote, with their own values.
        int rh = ISOPEN(name.c_str(), OPEN_INPUT);
        std::vector<uint8_t> r(8);
        size_t count = 0;
        for (int mode = FIRST; ISREAD(rh, r.data(), mode) == 0; mode = NEXT, ++count) {
            if (old_keys.count(A(r))) continue;
            const auto it = std::find(keys.begin(), keys.end(), A(r));
            ASSERT_NE(it, keys.end()) << at << ": " << A(r);
            EXPECT_EQ(B(r), it - keys.begin()) << at;
        }
        ISCLOSE(rh);
        if (completed) {
            EXPECT_EQ(count, old_keys.size() + keys.size());
        }
    }
    EXPECT_TRUE(completed);
}

}  // namespace
}  // namespace isam_test
