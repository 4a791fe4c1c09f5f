// A course folder opened for a headless lesson: settings, option words, product, common texts,
// trace log and the learners' files, as the player's start-up would leave them. Every path is
// taken inside the course folder; the current folder plays no part.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/Course.h"
#include "data/DataAccess.h"
#include "lesson/LearnerFilesStore.h"
#include "lesson/LessonSettings.h"

namespace lesson {

class HeadlessCourse {
  public:
    // Opens the course in folder (an absolute path) and reads its INI (the *.INI file beside the
    // player's link), then applies the "KEY=VALUE" overrides and the language (when not empty).
    // Automatic play and preset sessions are switched off: answers drive the session. False with
    // error() set.
    bool Open(const std::string& folder, const std::vector<std::string>& overrides,
              const std::string& language);
    const std::string& error() const { return error_; }
    // Lines of the INI that were refused (a value leading out of the course) and not applied.
    const std::vector<platform::Status>& Notices() const { return notices_; }

    const LessonSettings& Settings() const { return settings_; }
    // The opened course (after a successful Open).
    data::Course& Course() { return *course_; }
    LearnerStore& Store() { return *store_; }
    // Why the learner cannot be read: "no user U in group G" for a record the users file does
    // not hold, else the file and the engine's reason.
    std::string UserReadError(int group, int user);
    text::TraceLog& Trace() { return course_->Trace(); }

  private:
    bool Fail(std::string message);

    std::unique_ptr<data::Course> course_;
    data::DataAccess groups_, users_;
    std::unique_ptr<LearnerFilesStore> store_;
    LessonSettings settings_;
    std::string error_;
    std::vector<platform::Status> notices_;
};

}  // namespace lesson
