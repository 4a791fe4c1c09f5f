// ldeasm and lderun as a course author uses them: assemble, disassemble, run headless.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "support/BmpWriter.h"
#include "support/TempFolder.h"
#include "support/ToolRun.h"

namespace {

using Result = support::ToolRun;

// Runs command; out collects its standard output, and its error output too with errors set.
Result Shell(const std::string& command, bool errors = false) {
    return support::RunTool(command + (errors ? " 2>&1" : " 2>/dev/null"));
}

class ToolsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(dir_ + "/LDE");
        support::WriteBmp(dir_ + "/BMP/P.BMP", 6, 4, 0xFF0000);
    }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ + "/" + name) << text;
    }
    support::TempFolder temp_;
    std::string dir_ = temp_.path.string();
};

TEST_F(ToolsTest, AssembleRunAndDisassemble) {
    Write("a.lds",
          "Bmp \"P\", 30, 40 @ 2\nIdent \"caf\xC3\xA9\" @ 2\nMoveX 50, 5 @ 2\n"
          "$0 = DialogBox \"Go?\", YESNO\n");
    ASSERT_EQ(Shell(std::string(LDEASM) + " asm " + dir_ + "/a.lds " + dir_ + "/LDE/A").status, 0);
    Result run = Shell(std::string(LDERUN) + " A --dir " + dir_ + " --answer no --png " + dir_ +
                       "/stage.png --trace " + dir_ + "/trace.txt");
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\"ended\": true"), std::string::npos) << run.out;
    EXPECT_NE(
        run.out.find("{\"id\": 2, \"kind\": 2, \"class\": 2, \"x\": 50, \"y\": 40, \"width\": 6, "
                     "\"height\": 4, \"visible\": true, \"label\": \"caf\xC3\xA9\", \"type\": 3}"),
        std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"variables\": [[\"NO\"], [], [], [], []]"), std::string::npos)
        << run.out;
    QImage stage(QString::fromStdString(dir_ + "/stage.png"));
    ASSERT_FALSE(stage.isNull());
    EXPECT_EQ(stage.pixel(52, 42) & 0xFFFFFF, 0xFF0000u);
    std::ifstream trace(dir_ + "/trace.txt");
    std::string first;
    std::getline(trace, first);
    EXPECT_EQ(first.rfind(">>", 0), 0u);

    Result dis = Shell(std::string(LDEASM) + " dis " + dir_ + "/LDE/A");
    ASSERT_EQ(dis.status, 0);
    EXPECT_NE(dis.out.find("MoveX 50, 5 @ 2 Bmp"), std::string::npos) << dis.out;
}

TEST_F(ToolsTest, ExitCodes) {
    Write("bad.lds", "Show\n");
    EXPECT_EQ(Shell(std::string(LDEASM) + " asm " + dir_ + "/bad.lds " + dir_ + "/LDE/B").status,
              1);
    EXPECT_EQ(Shell(std::string(LDEASM) + " nonsense").status, 2);
    EXPECT_EQ(Shell(std::string(LDERUN) + " MISSING --dir " + dir_).status, 1);
    EXPECT_EQ(Shell(std::string(LDERUN) + " --ticks").status, 2);
    Write("loop.lds", "head:\nLoop 0, out\nEndLoop head\nout:\n");
    ASSERT_EQ(Shell(std::string(LDEASM) + " asm " + dir_ + "/loop.lds " + dir_ + "/LDE/L").status,
              0);
    Result r = Shell(std::string(LDERUN) + " L --dir " + dir_ + " --ticks 25");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("{\"ended\": false, \"ticks\": 25,"), std::string::npos) << r.out;
}

// Bad input to the tools ends with a message naming the fault and exit status 1 or 2, never
// with an abort.
TEST_F(ToolsTest, RefusesBadInputWithAMessage) {
    const std::string asm_ = std::string(LDEASM) + " asm ";
    const std::string dis = std::string(LDEASM) + " dis ";
    const std::string run = std::string(LDERUN) + " T --dir " + dir_;
    Write("t.lds", "Timer 50\n");
    ASSERT_EQ(Shell(asm_ + dir_ + "/t.lds " + dir_ + "/LDE/T").status, 0);
    // A sparse script of 32 MB: twice what a script may hold.
    std::ofstream(dir_ + "/LDE/BIG").put('x');
    ASSERT_EQ(truncate((dir_ + "/LDE/BIG").c_str(), 32L << 20), 0);
    ASSERT_EQ(mkfifo((dir_ + "/pipe").c_str(), 0600), 0);
    struct Case {
        std::string command;
        int status;
        std::string message;
    } cases[] = {
        {dis + dir_, 1, "is a folder, not a file"},
        {asm_ + dir_ + " " + dir_ + "/OUT", 1, "is a folder, not a file"},
        {dis + dir_ + "/none", 1, "No such file or directory"},
        {dis + dir_ + "/pipe", 1, "it is not a regular file"},
        {asm_ + dir_ + "/pipe " + dir_ + "/OUT", 1, "it is not a regular file"},
        {run + " --answer MAYBE", 2, "--answer takes OK, YES, NO or CANCEL, not MAYBE"},
        {run + " --ticks 99999999999999999999", 2, "usage: lderun"},
        {run + " --png " + dir_ + "/none/stage.png", 1,
         "cannot write " + dir_ + "/none/stage.png: No such file or directory"},
        {run + " --trace " + dir_ + "/none/trace.txt", 1,
         "cannot open the trace log " + dir_ + "/none/trace.txt: No such file or directory"},
        {std::string(LDERUN) + " BIG --dir " + dir_, 1,
         "cannot open script BIG: " + dir_ +
             "/LDE/BIG: the file is too large: a script may hold at most "
             "16777216 bytes (16 MB)"},
    };
    for (const Case& c : cases) {
        Result r = Shell(c.command, true);
        EXPECT_EQ(r.status, c.status) << c.command << "\n" << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << c.command << "\n" << r.out;
    }
    // Neither the trace log nor the picture made the missing folder.
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/none"));
    EXPECT_EQ(Shell(run + " --answer yes --png " + dir_ + "/stage.png").status, 0);
}

}  // namespace
