// A course opened and played while the current folder is somewhere else: every file the
// session reads or writes is the course's own.
#include "shell/HeadlessCourse.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>

#include "shell/HeadlessLesson.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

// Makes folder the current folder while it lives.
class CurrentFolder {
  public:
    explicit CurrentFolder(const fs::path& folder) : previous_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~CurrentFolder() {
        std::error_code ec;
        fs::current_path(previous_, ec);
    }

  private:
    fs::path previous_;
};

TEST(HeadlessCourse, TheLearnersFilesLandInTheCourseWhateverTheCurrentFolder) {
    int argc = 1;
    char name[] = "headless_course_test";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    support::TempFolder top;
    const fs::path course = top.path / "course";
    const fs::path elsewhere = top.path / "elsewhere";
    fs::copy(DEMO_COURSE_DIR, course,
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    const fs::path learners = course / "DATA/DEMO/GB";
    const fs::path context = course / "DATA/CTX/CTX002.001";
    for (const fs::path& file : {learners / "SCO002.001", learners / "HST002.001", context})
        fs::remove(file);
    fs::create_directories(elsewhere);
    CurrentFolder here(elsewhere);

    shell::HeadlessCourse headless;
    ASSERT_TRUE(headless.Open(course.string(), {"Flag=-r TRACE.LOG"}, "GB")) << headless.error();
    shell::HeadlessLesson runner(headless.Settings(), headless.Store(), headless.Course());
    runner.SetAnswers({"2", "next", "3", "next", "stop"}, false);
    ASSERT_TRUE(runner.Run((1 << 8) + 2)) << runner.error();
    headless.Trace().Close();

    EXPECT_EQ(fs::current_path(), elsewhere);
    EXPECT_TRUE(fs::is_empty(elsewhere));
    EXPECT_GT(fs::file_size(learners / "SCO002.001"), 0u);
    EXPECT_EQ(support::TempFolder::Read((learners / "HST002.001").string()).rfind("#F", 0), 0u);
    EXPECT_GT(fs::file_size(context), 0u);
    EXPECT_GT(fs::file_size(course / "TRACE.LOG"), 0u);

    // A relative folder is not taken from the current one.
    CurrentFolder above(top.path);
    shell::HeadlessCourse relative;
    EXPECT_FALSE(relative.Open("course", {}, "GB"));
    EXPECT_NE(relative.error().find("absolute"), std::string::npos) << relative.error();
}

}  // namespace
