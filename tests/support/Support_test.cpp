// The shared helpers themselves: a faulty one would let every test that uses it pass or fail
// for the wrong reason.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "support/TempFolder.h"
#include "support/ToolRun.h"

namespace {

namespace fs = std::filesystem;

TEST(TempFolder, FreshPerObjectAndRemovedWithItsFiles) {
    std::optional<support::TempFolder> a(std::in_place);
    const support::TempFolder b;
    EXPECT_NE(a->path, b.path);
    EXPECT_TRUE(fs::is_directory(a->path));
    const std::string file = a->Write("X/Y/Z.TXT", std::string("a\0b", 3));
    EXPECT_EQ(file, *a / "X/Y/Z.TXT");
    EXPECT_EQ(support::TempFolder::Read(file), std::string("a\0b", 3));
    EXPECT_EQ(support::TempFolder::Read(*a / "NONE"), "");
    const fs::path gone = a->path;
    a.reset();
    EXPECT_FALSE(fs::exists(gone));
    EXPECT_TRUE(fs::is_directory(b.path));
}

TEST(ToolRun, ExitStatusOutputAndLines) {
    struct Case {
        const char* command;
        int status;
        const char* out;
    } cases[] = {
        {"printf 'a\\nb\\n'", 0, "a\nb\n"},
        {"echo out; echo err >&2; exit 3", 3, "out\n"},  // error output is not captured
        {"exit 255", 255, ""},
        {"kill -9 $$", -1, ""},  // killed: no exit status
        {"/nonexistent/tool 2>/dev/null", 127, ""},
    };
    for (const Case& c : cases) {
        const support::ToolRun run = support::RunTool(c.command);
        EXPECT_EQ(run.status, c.status) << c.command;
        EXPECT_EQ(run.out, c.out) << c.command;
    }
    EXPECT_EQ(support::Lines("a\n\nb\nrest"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_TRUE(support::Lines("").empty());
}

}  // namespace
