// The reports of one course kept ready for a server: every request refreshes the learner files
// that changed and reuses the reports made since the last change. Safe to call from several
// threads; the lock it takes is its own, never a file's.
#pragma once

#include <mutex>
#include <string>

#include "report/CourseReader.h"
#include "report/ReportCourse.h"

namespace report {

class ReportCache {
  public:
    enum Kind { kSummaryJson, kStepsJson, kLearnersCsv, kStepsCsv, kKindCount };

    explicit ReportCache(const ReportCourse& course) : course_(course), reader_(course) {}

    // The report of that kind as of now: 0 with it in out, or -1 with the reason in error
    // (the GROUP or USERS file cannot be read).
    int Get(Kind kind, std::string& out, std::string& error);
    // One learner as JSON: 1 with it in out, 0 when there is no such learner, -1 on an error.
    int GetLearner(int group, int user, std::string& out, std::string& error);

  private:
    const ReportCourse& course_;
    std::mutex mutex_;
    CourseReader reader_;
    std::string made_[kKindCount];
    uint64_t made_generation_[kKindCount] = {};
};

}  // namespace report
