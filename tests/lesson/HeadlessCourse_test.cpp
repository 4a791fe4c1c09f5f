// A course opened and played from outside its folder (the current folder is the test's, never
// the course's): every file the session reads or writes is the course's own.
#include "lesson/HeadlessCourse.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <string>

#include "lesson/HeadlessLesson.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

// The entries of folder whose names (in any case) start like a file the session writes: the
// data folder, score, history and context files, the trace log.
std::set<std::string> SessionNamesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
        std::string name = e.path().filename().string();
        std::string upper = name;
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        for (const char* start : {"DATA", "SCO", "HST", "CTX", "TRACE"})
            if (upper.rfind(start, 0) == 0) names.insert(name);
    }
    return names;
}

TEST(HeadlessCourse, TheLearnersFilesLandInTheCourseWhateverTheCurrentFolder) {
    int argc = 1;
    char name[] = "headless_course_test";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    support::TempFolder top;
    const fs::path course = top.path / "course";
    const fs::path current = fs::current_path();  // only read: the course is not in it
    const std::set<std::string> before = SessionNamesIn(current);
    fs::copy(DEMO_COURSE_DIR, course,
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    const fs::path learners = course / "DATA/DEMO/GB";
    const fs::path context = course / "DATA/CTX/CTX002.001";
    for (const fs::path& file : {learners / "SCO002.001", learners / "HST002.001", context})
        fs::remove(file);

    lesson::HeadlessCourse headless;
    ASSERT_TRUE(headless.Open(course.string(), {"Flag=-r TRACE.LOG"}, "GB")) << headless.error();
    lesson::HeadlessLesson runner(headless.Settings(), headless.Store(), headless.Course());
    runner.SetAnswers({"2", "next", "3", "next", "stop"}, false);
    ASSERT_TRUE(runner.Run((1 << 8) + 2)) << runner.error();
    headless.Trace().Close();

    EXPECT_EQ(SessionNamesIn(current), before);
    EXPECT_GT(fs::file_size(learners / "SCO002.001"), 0u);
    EXPECT_EQ(support::TempFolder::Read((learners / "HST002.001").string()).rfind("#F", 0), 0u);
    EXPECT_GT(fs::file_size(context), 0u);
    EXPECT_GT(fs::file_size(course / "TRACE.LOG"), 0u);

    // A relative folder is not taken from the current one, even where it names the course.
    const std::string from_current = fs::relative(course, current).string();
    ASSERT_TRUE(fs::exists(current / from_current / "DEMO.INI")) << from_current;
    lesson::HeadlessCourse relative;
    EXPECT_FALSE(relative.Open(from_current, {}, "GB"));
    EXPECT_NE(relative.error().find("absolute"), std::string::npos) << relative.error();
}

}  // namespace
