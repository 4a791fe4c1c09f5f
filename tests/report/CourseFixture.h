// The small played course of make_course.sh, made once per test program in a temporary folder,
// and a copy of it for each test, which may damage its files at will. Header-only: its tests
// define MAKE_COURSE, MSGC_PATH, LEARNERS_PATH and LESSONRUN_PATH.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "support/TempFolder.h"
#include "support/ToolRun.h"

namespace reporttest {

// Makes the course in a fresh folder; the folder goes with the object.
class PlayedCourse {
  public:
    PlayedCourse() {
        const support::ToolRun run = support::RunTool(
            std::string("QT_QPA_PLATFORM=offscreen ") + MAKE_COURSE + " '" + Root() + "' " +
            MSGC_PATH + " " + LEARNERS_PATH + " " + LESSONRUN_PATH + " 2>&1");
        made_ = run.status == 0;
        output_ = run.out;
    }
    bool Made() const { return made_; }
    const std::string& Output() const { return output_; }
    std::string Root() const { return (temp_.path / "course").string(); }
    // A file of the learners' folder (SCO001.001, HST002.001, USERS.dat).
    std::string Learners(const std::string& name) const { return Root() + "/DATA/TEST/GB/" + name; }

    // The course made once for the whole program.
    static const PlayedCourse& Original() {
        static const PlayedCourse course;
        return course;
    }

  private:
    support::TempFolder temp_;
    bool made_ = false;
    std::string output_;
};

// A test's own copy of the played course.
class CourseCopy {
  public:
    CourseCopy() {
        const PlayedCourse& original = PlayedCourse::Original();
        made_ = original.Made();
        output_ = original.Output();
        if (made_)
            std::filesystem::copy(original.Root(), Root(),
                                  std::filesystem::copy_options::recursive);
    }
    bool Made() const { return made_; }
    const std::string& Output() const { return output_; }
    std::string Root() const { return (temp_.path / "course").string(); }
    std::string Learners(const std::string& name) const { return Root() + "/DATA/TEST/GB/" + name; }

  private:
    support::TempFolder temp_;
    bool made_ = false;
    std::string output_;
};

}  // namespace reporttest
