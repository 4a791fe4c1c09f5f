// The isamtool command line: its outputs, exit codes and error texts.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <set>
#include <thread>

#include "IsamFixture.h"
#include "platform/ReplaceFile.h"
#include "support/ToolRun.h"

namespace isam_test {
namespace {

using Output = support::ToolRun;

class IsamtoolTest : public IsamTest {
  protected:
    // Runs isamtool with the arguments (and standard input), capturing stdout and stderr.
    // A shell prefix may set limits first.
    Output Tool(const std::string& args, const std::string& input = "",
                const std::string& prefix = "") {
        std::string in_path = Path("stdin.txt");
        WriteBytes(in_path, std::vector<uint8_t>(input.begin(), input.end()));
        std::string cmd =
            prefix + std::string(ISAMTOOL_PATH) + " " + args + " < " + in_path + " 2>&1";
        return support::RunTool(cmd);
    }
};

TEST_F(IsamtoolTest, BuildWriteDumpCheckAndCluster) {
    const std::string f = Path("t");
    ASSERT_EQ(Tool("build " + f + " --reclen 4 --key 0:2:1 --flags 0x1").status, 0);
    Output w = Tool("write " + f, "00030001\n0001aaaa\nffff0002\n00010003\n");
    ASSERT_EQ(w.status, 0) << w.out;
    EXPECT_EQ(w.out, "1\n2\n3\n4\n");
    // INT16 keys: -1 (ffff) first, duplicates of 1 in the order written.
    EXPECT_EQ(Tool("dump " + f).out, "3 ffff0002\n2 0001aaaa\n4 00010003\n1 00030001\n");
    EXPECT_EQ(Tool("dump " + f + " --index 0").out,
              "1 00030001\n2 0001aaaa\n3 ffff0002\n4 00010003\n");
    EXPECT_EQ(Tool("rewrite " + f + " 2 0005bbbb").status, 0);
    EXPECT_EQ(Tool("delete " + f + " 3").status, 0);
    Output check = Tool("check " + f);
    EXPECT_EQ(check.status, 0);
    EXPECT_NE(check.out.find("ok\n"), std::string::npos);
    ASSERT_EQ(Tool("addindex " + f + " --key 2:2:0").status, 0);
    EXPECT_EQ(Tool("dump " + f + " --index 2").out, "1 00030001\n4 00010003\n2 0005bbbb\n");
    ASSERT_EQ(Tool("cluster " + f + " --index 1").status, 0);
    EXPECT_EQ(Tool("dump " + f + " --index 0").out, "1 00010003\n2 00030001\n3 0005bbbb\n");
    Output info = Tool("info " + f);
    EXPECT_NE(info.out.find("indexes 2"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("index 1: root 3 flags 0x1 length 2 parts 0:2:1"), std::string::npos)
        << info.out;
    ASSERT_EQ(Tool("delindex " + f + " --key 2:2:0").status, 0);
    EXPECT_EQ(Tool("check " + f).status, 0);
}

TEST_F(IsamtoolTest, FailuresPrintTheEngineError) {
    const std::string f = Path("e");
    Output missing = Tool("dump " + f);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "isamtool: open: No such file or directory (2)\n");
    ASSERT_EQ(Tool("build " + f + " --reclen 8 --key 0:4:2").status, 0);
    Output again = Tool("build " + f + " --reclen 8 --key 0:4:2");
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.out, "isamtool: build: File exists (17)\n");
    Output dup = Tool("write " + f, "0000000100000000\n0000000100000000\n");
    EXPECT_EQ(dup.status, 1);
    EXPECT_EQ(dup.out, "1\nisamtool: write: illegal duplicate (100)\n");
    EXPECT_EQ(Tool("dump " + f).out, "1 0000000100000000\n");  // the records before the error stay
    Output bad = Tool("write " + f, "00zz\n");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(Tool("delete " + f + " 9").out, "isamtool: delete: no current record (112)\n");
    EXPECT_EQ(Tool("build " + Path("k") + " --reclen 8 --key 6:4:2").out,
              "isamtool: build: illegal key description (103)\n");
    EXPECT_EQ(Tool("frobnicate " + f).status, 2);
    // Damage is reported with a non-zero status.
    std::vector<uint8_t> idx = ReadBytes(f + ".idx");
    isam::store_be16(&idx[2048], 0xFFFF);
    WriteBytes(f + ".idx", idx);
    Output check = Tool("check " + f);
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("malformed"), std::string::npos) << check.out;
}

// Alone on the file, write keeps the records in memory and writes them back at its end; while
// another process has the file open, it writes them one by one as a shared handle. A write-back
// that fails stores nothing, and the tool says so.
TEST_F(IsamtoolTest, WriteDefersAloneSharesWhileInUseAndReportsAFailedWriteBack) {
    const std::string f = Path("w");
    ASSERT_EQ(Tool("build " + f + " --reclen 8 --key 0:4:2").status, 0);
    auto records = [](int from, int count) {
        std::string text;
        for (int i = from; i < from + count; ++i) {
            char line[20];
            std::snprintf(line, sizeof line, "%08x%08x\n", i, i * 2);
            text += line;
        }
        return text;
    };
    auto numbers = [](int from, int count) {
        std::string text;
        for (int i = from; i < from + count; ++i) text += std::to_string(i) + "\n";
        return text;
    };
    int h = isam::ISOPEN(f.c_str(), isam::OPEN_INPUT);
    ASSERT_GE(h, 0);
    Output shared = Tool("write " + f, records(0, 300));
    EXPECT_EQ(shared.status, 0) << shared.out;
    EXPECT_EQ(shared.out, numbers(1, 300));
    EXPECT_EQ(Scan(h).size(), 300u);
    ASSERT_EQ(isam::ISCLOSE(h), 0);
    Output alone = Tool("write " + f, records(300, 300));
    EXPECT_EQ(alone.status, 0) << alone.out;
    EXPECT_EQ(alone.out, numbers(301, 300));
    const std::string before = Tool("dump " + f).out;
    EXPECT_EQ(std::count(before.begin(), before.end(), '\n'), 600);
    // No room to grow either file: the first write that extends one fails.
    const size_t kb = std::min(ReadBytes(f + ".idx").size(), ReadBytes(f + ".dat").size()) / 1024;
    Output limited = Tool("write " + f, records(600, 3000),
                          "trap '' XFSZ; ulimit -f " + std::to_string(kb) + "; ");
    EXPECT_EQ(limited.status, 1);
    // None of the numbers of records that are not stored is printed.
    EXPECT_EQ(limited.out, "isamtool: write: records not stored: File too large (27)\n");
    EXPECT_EQ(Tool("dump " + f).out, before);
    EXPECT_EQ(Tool("check " + f).status, 0);
}

// Every number on the command line is a whole decimal (or 0x-hex for flags, modes and key parts)
// in range: a record number above 2^31 - 1 must not wrap round to another record.
TEST_F(IsamtoolTest, NumbersOutOfRangeOrMalformedAreRefused) {
    const std::string f = Path("n");
    ASSERT_EQ(Tool("build " + f + " --reclen 8 --key 0:4:2").status, 0);
    ASSERT_EQ(Tool("write " + f, "0000000100000001\n0000000200000002\n").status, 0);
    const auto idx = ReadBytes(f + ".idx"), dat = ReadBytes(f + ".dat");
    const std::string g = Path("g");
    const std::string refused[] = {
        "delete " + f + " 4294967297",
        "delete " + f + " 2147483648",
        "delete " + f + " 0",
        "delete " + f + " -1",
        "delete " + f + " +1",
        "delete " + f + " 1x",
        "delete " + f + " 0x1",
        "delete " + f + " \" 1\"",
        "rewrite " + f + " 4294967297 0000000100000009",
        "dump " + f + " --index -1",
        "dump " + f + " --index 4294967297",
        "cluster " + f + " --index -1",
        "addindex " + f + " --key 4:4:2 --flags -1",
        "build " + g + " --reclen -8 --key 0:4:2",
        "build " + g + " --reclen 8 --key 0:4:-2",
        "build " + g + " --reclen 8 --key 0:4:2 --mode 2x",
    };
    for (const std::string& args : refused) EXPECT_EQ(Tool(args).status, 2) << args;
    EXPECT_EQ(ReadBytes(f + ".idx"), idx);
    EXPECT_EQ(ReadBytes(f + ".dat"), dat);
    EXPECT_FALSE(std::filesystem::exists(g + ".idx"));
    EXPECT_EQ(Tool("delete " + f + " 2147483647").out,
              "isamtool: delete: no current record (112)\n");
    EXPECT_EQ(Tool("delete " + f + " 2").status, 0);
    EXPECT_EQ(Tool("dump " + f).out, "1 0000000100000001\n");
}

// A record line is read no further than a record's digits: a line without end on standard input
// is refused at once instead of being gathered until memory runs out.
TEST_F(IsamtoolTest, OversizedInputLineIsRefusedWithoutReadingItAll) {
    const std::string f = Path("o");
    ASSERT_EQ(Tool("build " + f + " --reclen 8 --key 0:4:2").status, 0);
    const std::string out = Path("out.txt");
    FILE* p =
        popen((std::string(ISAMTOOL_PATH) + " write " + f + " > " + out + " 2>&1").c_str(), "w");
    ASSERT_NE(p, nullptr);
    void (*old)(int) = std::signal(SIGPIPE, SIG_IGN);
    const std::string chunk(64 * 1024, '0');
    const size_t total = 64u * 1024 * 1024;
    size_t written = 0;
    while (written < total && std::fwrite(chunk.data(), 1, chunk.size(), p) == chunk.size() &&
           std::fflush(p) == 0)
        written += chunk.size();
    const int status = pclose(p);
    std::signal(SIGPIPE, old);
    EXPECT_LT(written, total) << "the whole line was read";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::vector<uint8_t> text = ReadBytes(out);
    EXPECT_EQ(std::string(text.begin(), text.end()), "isamtool: line 1: expected 16 hex digits\n");
    EXPECT_EQ(Tool("dump " + f).out, "");
}

// Files that claim gigabytes but hold almost nothing (sparse, their headers counting every slot
// and node): check's walk is bounded by what they hold, and the holes count as unused space.
TEST_F(IsamtoolTest, CheckOfHugeSparseFilesEnds) {
    const std::string f = Path("s");
    ASSERT_EQ(Tool("build " + f + " --reclen 8 --key 0:4:2").status, 0);
    ASSERT_EQ(Tool("write " + f, "0000000100000001\n0000000200000002\n").status, 0);
    const uint32_t slots = 400u * 1000 * 1000, nodes = 2u * 1024 * 1024;
    std::vector<uint8_t> idx = ReadBytes(f + ".idx");
    isam::store_be32(&idx[33], slots);  // highest record number
    isam::store_be32(&idx[37], nodes);  // highest index node
    WriteBytes(f + ".idx", idx);
    // Only the sizes change: nothing is written into the files, which take no more space.
    std::filesystem::resize_file(f + ".idx", uint64_t(nodes) * 1024);
    std::filesystem::resize_file(f + ".dat", uint64_t(slots) * 9);
    // A hang guard only: the walk of every slot took far longer than this.
    Output check = Tool("check " + f, "", "timeout 120 ");
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_EQ(check.out,
              "note: 2 live records\n"
              "note: 399999998 deleted records on no free list\n"
              "note: " +
                  std::to_string(nodes - 3) +
                  " index nodes in no tree and on no list\n"
                  "ok\n");
    Output info = Tool("info " + f, "", "timeout 120 ");
    EXPECT_NE(info.out.find("live records 2\n"), std::string::npos) << info.out;
}

// A command that fails leaves no file of its own making, and says what went wrong.
TEST_F(IsamtoolTest, FailedCommandsLeaveNothingBehind) {
    // Writes past one kilobyte fail (with EFBIG rather than a full disk, to the same effect).
    const std::string small_disk = "trap '' XFSZ; ulimit -f 2; ";
    const std::string b = Path("b");
    Output build = Tool("build " + b + " --reclen 8 --key 0:4:2", "", small_disk);
    EXPECT_EQ(build.status, 1) << build.out;
    for (const char* ext : {".idx", ".dat", ".lck"})
        EXPECT_FALSE(std::filesystem::exists(b + ext)) << ext;
    // A data file that was there before is not the build's to remove.
    const std::string c = Path("c");
    WriteBytes(c + ".dat", {1, 2, 3});
    EXPECT_EQ(Tool("build " + c + " --reclen 8 --key 0:4:2").status, 1);
    EXPECT_FALSE(std::filesystem::exists(c + ".idx"));
    EXPECT_EQ(ReadBytes(c + ".dat"), (std::vector<uint8_t>{1, 2, 3}));

    const std::string f = Path("f");
    ASSERT_EQ(Tool("build " + f + " --reclen 8 --key 0:4:2").status, 0);
    std::string records;
    for (int i = 0; i < 200; ++i) {
        char line[20];
        std::snprintf(line, sizeof line, "%08x%08x\n", 199 - i, i);
        records += line;
    }
    ASSERT_EQ(Tool("write " + f, records).status, 0);
    ASSERT_EQ(Tool("addindex " + f + " --key 4:4:2").status, 0);
    EXPECT_EQ(Tool("delindex " + f + " --key 2:4:2").out,
              "isamtool: delindex: no such index: illegal key description (103)\n");
    const std::string before = Tool("dump " + f + " --index 0").out;
    // Cut at its marker (no space at all) or at its copy.
    for (const char* limit : {"0", "2"}) {
        SCOPED_TRACE(limit);
        Output cluster = Tool("cluster " + f + " --index 2", "",
                              "trap '' XFSZ; ulimit -f " + std::string(limit) + "; ");
        EXPECT_EQ(cluster.status, 1) << cluster.out;
        for (const auto& e : std::filesystem::directory_iterator(dir_)) {
            const std::string file = e.path().filename().string();
            EXPECT_TRUE(file.rfind("ist", 0) != 0 && file.find(".cls") == std::string::npos)
                << file << " left behind";
        }
    }
    EXPECT_EQ(Tool("dump " + f + " --index 0").out, before);
    EXPECT_EQ(Tool("check " + f).status, 0);
}

// isamtool write NAME started with pipes on its standard input and output.
struct Writer {
    pid_t pid = -1;
    int in = -1, out = -1;
    std::string printed;

    explicit Writer(const std::string& name) {
        int to[2], from[2];
        EXPECT_EQ(pipe(to), 0);
        EXPECT_EQ(pipe(from), 0);
        pid = fork();
        if (pid == 0) {
            dup2(to[0], 0);
            dup2(from[1], 1);
            for (int fd : {to[0], to[1], from[0], from[1]}) close(fd);
            execl(ISAMTOOL_PATH, "isamtool", "write", name.c_str(), nullptr);
            _exit(127);
        }
        close(to[0]);
        close(from[1]);
        in = to[1];
        out = from[0];
    }
    ~Writer() {
        if (in >= 0) close(in);
        if (out >= 0) close(out);
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    bool Send(const std::string& text) {
        return write(in, text.data(), text.size()) == ssize_t(text.size());
    }
    // Reads what it printed until `lines` lines are there or its output ends (or stays silent
    // for half a minute: a guard against a hang, not a measure).
    size_t ReadLines(size_t lines) {
        char buf[4096];
        while (size_t(std::count(printed.begin(), printed.end(), '\n')) < lines) {
            struct pollfd p {
                out, POLLIN, 0
            };
            if (poll(&p, 1, 30000) <= 0) break;
            const ssize_t n = read(out, buf, sizeof buf);
            if (n <= 0) break;
            printed.append(buf, size_t(n));
        }
        return size_t(std::count(printed.begin(), printed.end(), '\n'));
    }
    // Ends its input and answers its exit status.
    int Finish() {
        close(in);
        in = -1;
        ReadLines(SIZE_MAX);
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

std::string RecordLine(int key, int value) {
    char line[20];
    std::snprintf(line, sizeof line, "%08x%08x\n", key, value);
    return line;
}

// A writer killed at any time has stored every record whose number it printed: a number goes
// out only once the write-back that stored its record is done.
TEST_F(IsamtoolTest, EveryNumberWritePrintedIsInTheFileWhenItIsKilled) {
    const std::string f = Path("k");
    ASSERT_EQ(Tool("build " + f + " --reclen 8 --key 0:4:2").status, 0);
    std::vector<std::string> printed;
    {
        Writer w(f);
        // Its output is drained all along, so that it never waits for the test to read.
        std::atomic<size_t> lines{0};
        std::thread reader([&] {
            char buf[4096];
            ssize_t n;
            while ((n = read(w.out, buf, sizeof buf)) > 0) {
                w.printed.append(buf, size_t(n));
                lines = size_t(std::count(w.printed.begin(), w.printed.end(), '\n'));
            }
        });
        void (*old)(int) = std::signal(SIGPIPE, SIG_IGN);
        // Records keep coming until the writer has printed some numbers, then it is killed.
        std::string chunk;
        for (int key = 0; lines < 1000 && key < 4000000;) {
            chunk.clear();
            for (int i = 0; i < 1000; ++i, ++key) chunk += RecordLine(key, key);
            if (!w.Send(chunk)) break;
        }
        kill(w.pid, SIGKILL);
        reader.join();  // its output ends with it
        std::signal(SIGPIPE, old);
        printed = support::Lines(w.printed);
    }
    ASSERT_FALSE(printed.empty());
    std::set<std::string> stored;
    for (const std::string& line : support::Lines(Tool("dump " + f).out))
        stored.insert(line.substr(0, line.find(' ')));
    for (const std::string& n : printed) ASSERT_TRUE(stored.count(n)) << "record " << n;
}

// While the input stalls, write holds nothing: the records it has read are stored (and their
// numbers printed), and another process opens the file, which the writer then shares.
TEST_F(IsamtoolTest, WriteWaitingForInputKeepsNobodyOut) {
    const std::string f = Path("s");
    ASSERT_EQ(Tool("build " + f + " --reclen 8 --key 0:4:2").status, 0);
    Writer w(f);
    ASSERT_TRUE(w.Send(RecordLine(1, 1) + RecordLine(2, 2)));
    ASSERT_EQ(w.ReadLines(2), 2u);
    EXPECT_EQ(w.printed, "1\n2\n");
    const int h = isam::ISOPEN(f.c_str(), isam::OPEN_INOUT);
    ASSERT_GE(h, 0) << "a player is kept out: " << isam::last_error;
    EXPECT_EQ(Scan(h), (std::vector<int32_t>{1, 2}));
    ASSERT_TRUE(w.Send(RecordLine(3, 3)));
    ASSERT_EQ(w.ReadLines(3), 3u);
    EXPECT_EQ(Scan(h), (std::vector<int32_t>{1, 2, 3}));
    ASSERT_EQ(isam::ISCLOSE(h), 0);
    ASSERT_TRUE(w.Send(RecordLine(4, 4)));
    EXPECT_EQ(w.Finish(), 0);
    EXPECT_EQ(w.printed, "1\n2\n3\n4\n");
}

// Runs command as the account uid (group gid); its exit status.
int RunAs(uid_t uid, gid_t gid, const std::string& command) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(126);
        // A build tree in a folder closed to the account: nothing to run as it.
        if (access(ISAMTOOL_PATH, X_OK) != 0) _exit(77);
        execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Run as root in a folder another account owns, the engine and the tools leave files (lock
// files, new files, replacements, even a lock file an older run left as root's) that account
// owns and can use, with no access for other accounts.
TEST_F(IsamtoolTest, RunAsRootInAnotherAccountsFolderLeavesFilesItCanUse) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root";
    const uid_t uid = 65534;
    const gid_t gid = 65534;
    ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
    const std::string folder = Path("course");
    ASSERT_EQ(mkdir(folder.c_str(), 0750), 0);
    ASSERT_EQ(chown(folder.c_str(), uid, gid), 0);
    const std::string f = folder + "/USERS", g = folder + "/GROUP";
    ASSERT_EQ(Tool("build " + f + " --reclen 8 --key 0:4:2").status, 0);
    ASSERT_EQ(Tool("write " + f, RecordLine(1, 1)).status, 0);
    // A lock file left as root's by an older run goes back to the account at the next open.
    ASSERT_EQ(Tool("build " + g + " --reclen 8 --key 0:4:2").status, 0);
    ASSERT_EQ(chown((g + ".lck").c_str(), 0, 0), 0);
    ASSERT_EQ(chmod((g + ".lck").c_str(), 0644), 0);
    ASSERT_EQ(Tool("write " + g, RecordLine(1, 1)).status, 0);
    // A new file and a replaced one.
    ASSERT_TRUE(platform::ReplaceFile(folder + "/SCO001.001", "new"));
    ASSERT_TRUE(platform::ReplaceFile(folder + "/SCO001.001", "again"));
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        struct stat st;
        ASSERT_EQ(lstat(e.path().c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, uid) << e.path();
        EXPECT_EQ(st.st_gid, gid) << e.path();
        EXPECT_EQ(st.st_mode & 07, 0u) << e.path();
    }
    // The account writes the files and replaces the file.
    const int as_account =
        RunAs(uid, gid,
              std::string(ISAMTOOL_PATH) + " write " + f + " <<EOF\n" + RecordLine(2, 2) + "EOF\n" +
                  ISAMTOOL_PATH + " write " + g + " <<EOF\n" + RecordLine(2, 2) + "EOF\necho x > " +
                  folder + "/SCO001.001");
    if (as_account == 77) GTEST_SKIP() << "the account cannot reach " << ISAMTOOL_PATH;
    EXPECT_EQ(as_account, 0);
    EXPECT_EQ(Tool("dump " + f).out, "1 0000000100000001\n2 0000000200000002\n");
}

}  // namespace
}  // namespace isam_test
