// Every program answers --help with its usage on standard output and --version with its name
// and version, exit 0, and an unknown option with the usage on standard error, exit 2; its
// manual page's synopsis says the same as the usage.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/TempFolder.h"
#include "support/ToolRun.h"

namespace {

std::string Trim(const std::string& line) {
    std::string s = line.rfind("usage: ", 0) == 0 ? line.substr(7) : line;
    const size_t first = s.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : s.substr(first);
}

TEST(ToolHelp, UsageAndVersionAgreeWithTheManualPage) {
    const struct {
        const char* name;
        const char* path;
        const char* page;
    } tools[] = {{"learners", LEARNERS_PATH, "learners.1"},
                 {"lessonrun", LESSONRUN_PATH, "lessonrun.1"},
                 {"isamtool", ISAMTOOL_PATH, "isamtool.1"},
                 {"dataserver", DATASERVER_PATH, "dataserver.8"},
                 {"coursereport", COURSEREPORT_PATH, "coursereport.1"},
                 {"coursecheck", COURSECHECK_PATH, "coursecheck.1"},
                 {"coursexapi", COURSEXAPI_PATH, "coursexapi.1"},
                 {"courseware-player", PLAYER_PATH, "courseware-player.1"},
                 {"courseware-demo", DEMO_LAUNCHER_PATH, "courseware-demo.1"},
                 {"msgc", MSGC_PATH, "msgc.1"},
                 {"ldeasm", LDEASM_PATH, "ldeasm.1"},
                 {"lderun", LDERUN_PATH, "lderun.1"}};
    for (const auto& t : tools) {
        const support::ToolRun help = support::RunTool(std::string(t.path) + " --help 2>/dev/null");
        EXPECT_EQ(help.status, 0) << t.name;
        const std::vector<std::string> usage = support::Lines(help.out);
        ASSERT_FALSE(usage.empty()) << t.name;
        EXPECT_EQ(usage[0].rfind(std::string("usage: ") + t.name, 0), 0u) << t.name;

        const support::ToolRun version = support::RunTool(std::string(t.path) + " --version");
        EXPECT_EQ(version.status, 0) << t.name;
        EXPECT_EQ(version.out, std::string(t.name) + " " + PROJECT_VERSION + "\n");

        const support::ToolRun unknown =
            support::RunTool(std::string(t.path) + " --no-such-option 2>&1 >/dev/null");
        EXPECT_EQ(unknown.status, 2) << t.name;
        EXPECT_EQ(support::Lines(unknown.out), usage) << t.name;

        const std::string page = support::TempFolder::Read(std::string(MAN_DIR) + "/" + t.page);
        ASSERT_FALSE(page.empty()) << t.name;
        std::set<std::string> lines;
        for (const std::string& line : support::Lines(page)) lines.insert(Trim(line));
        for (const std::string& line : usage)
            EXPECT_TRUE(lines.count(Trim(line))) << t.page << " lacks: " << Trim(line);
    }
}

}  // namespace
