// The reports of one course kept ready for a server. A refresher thread checks the learner
// files about once a second (those its folder watch named, see CourseReader), reads again what
// changed and publishes an immutable snapshot: the data and its reports made ahead. A request
// only takes the current snapshot, so it never waits for the files; what it serves is at most
// one check old. Each report is also kept gzip-compressed, so that a server never compresses
// per request. The locks taken are the cache's own, never a file's.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "report/CourseReader.h"
#include "report/ReportCourse.h"
#include "report/Reports.h"

namespace report {

class ReportCache {
  public:
    enum Kind { kSummaryJson, kStepsJson, kLearnersCsv, kStepsCsv, kAnswersCsv, kKindCount };

    // interval: the pause between two checks of the files.
    explicit ReportCache(const ReportCourse& course,
                         std::chrono::milliseconds interval = std::chrono::seconds(1),
                         const HelpRule& rule = HelpRule());
    ~ReportCache();
    ReportCache(const ReportCache&) = delete;
    ReportCache& operator=(const ReportCache&) = delete;

    // Starts the refresher thread, which inherits the caller's signal mask. False with the
    // reason in error when no thread can be made: every request then checks the files itself.
    bool Start(std::string& error);
    // Stops the refresher and waits for it (at most the end of a check under way). Start and
    // Stop are called from one thread, the cache's owner.
    void Stop();

    // A report as a server sends it, without a copy: both share the snapshot, which they keep
    // alive. gzip holds the same body gzip-compressed, made once with the snapshot; it is null
    // when the body could not be compressed.
    struct Body {
        std::shared_ptr<const std::string> plain;
        std::shared_ptr<const std::string> gzip;
    };

    // The report of that kind as of the last check: 0 with it in out, or -1 with the reason in
    // error (the GROUP or USERS file could not be read). Before the first check ends it waits
    // for it; without a running refresher it checks the files itself.
    int Get(Kind kind, std::string& out, std::string& error);
    int Get(Kind kind, Body& out, std::string& error);
    // One learner as JSON: 1 with it in out, 0 when there is no such learner, -1 on an error.
    int GetLearner(int group, int user, std::string& out, std::string& error);

  private:
    struct Snapshot;
    std::shared_ptr<const Snapshot> Current();
    // One check of the files; publishes its snapshot and gives it.
    std::shared_ptr<const Snapshot> Refresh();
    void Run();

    const ReportCourse& course_;
    const std::chrono::milliseconds interval_;
    const HelpRule rule_;

    // Held by whoever checks the files: the refresher, or a request when none runs.
    std::mutex refresh_mutex_;
    CourseReader reader_;
    std::shared_ptr<const Snapshot> good_;  // the last snapshot made without an error

    // Held only to take or swap the snapshot and the refresher's state.
    std::mutex mutex_;
    std::condition_variable published_, wake_;
    std::shared_ptr<const Snapshot> snapshot_;
    bool running_ = false, stopping_ = false;
    std::thread thread_;
};

}  // namespace report
