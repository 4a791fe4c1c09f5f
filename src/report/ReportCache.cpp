#include "report/ReportCache.h"

#include <algorithm>
#include <exception>
#include <system_error>

#include "report/Gzip.h"
#include "report/Reports.h"

namespace report {

// What a request serves: the data of one check and the reports made from it, never changed
// once published. A failed check carries only its error.
struct ReportCache::Snapshot {
    bool ok = false;
    std::string error;  // why the check failed
    std::shared_ptr<const CourseData> data;
    std::string made[kKindCount];
    std::string gzipped[kKindCount];  // empty when that report could not be compressed
    std::chrono::steady_clock::time_point made_at;
};

namespace {

// A check takes at most this share of the refresher's time: on a slow disk it waits longer.
constexpr int kIdleTimesCheck = 4;
// Reports of unchanged files are made again after this, for the days without progress.
constexpr std::chrono::minutes kRemakeEvery(10);

}  // namespace

ReportCache::ReportCache(const ReportCourse& course, std::chrono::milliseconds interval,
                         const HelpRule& rule)
    : course_(course), interval_(interval), rule_(rule), reader_(course) {}

ReportCache::~ReportCache() {
    Stop();
}

bool ReportCache::Start(std::string& error) {
    if (thread_.joinable()) return true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = false;
        running_ = true;
    }
    try {
        thread_ = std::thread(&ReportCache::Run, this);
    } catch (const std::system_error& e) {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
        error = std::string("cannot start the refresher: ") + e.what();
        return false;
    }
    return true;
}

void ReportCache::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        running_ = false;
    }
    wake_.notify_all();
    published_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void ReportCache::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        lock.unlock();
        const auto start = std::chrono::steady_clock::now();
        Refresh();
        const auto took = std::chrono::steady_clock::now() - start;
        lock.lock();
        const auto pause =
            std::max<std::chrono::steady_clock::duration>(interval_, took * kIdleTimesCheck);
        wake_.wait_for(lock, pause, [this] { return stopping_; });
    }
}

namespace {
std::mutex& FileReadMutex() {
    static std::mutex mutex;
    return mutex;
}
}  // namespace

std::shared_ptr<const ReportCache::Snapshot> ReportCache::Refresh() {
    std::lock_guard<std::mutex> refresh(refresh_mutex_);
    // The learner files are read by one cache at a time in the process: the ISAM layer's
    // table of open files is the process's, not safe for two threads at once.
    std::lock_guard<std::mutex> files(FileReadMutex());
    std::shared_ptr<const Snapshot> next;
    try {
        std::string error;
        if (reader_.Refresh(error) != 0) {
            auto failed = std::make_shared<Snapshot>();
            failed->error = error;
            next = std::move(failed);
        } else {
            const CourseData& data = reader_.Data();
            // Made again when the files changed, and now and then without a change: "no
            // progress for N days" grows with time alone.
            const auto now = std::chrono::steady_clock::now();
            if (!good_ || good_->data->generation != data.generation ||
                now - good_->made_at > kRemakeEvery) {
                auto made = std::make_shared<Snapshot>();
                made->ok = true;
                made->made_at = now;
                made->data = std::make_shared<const CourseData>(data);
                const Summary summary =
                    MakeSummary(data, course_.Name(), course_.Language(), rule_);
                made->made[kSummaryJson] = SummaryJson(summary);
                made->made[kLearnersCsv] = LearnersCsv(summary);
                const std::vector<StepRow> steps = MakeSteps(data);
                made->made[kStepsJson] = StepsJson(steps);
                made->made[kStepsCsv] = StepsCsv(steps);
                made->made[kAnswersCsv] = AnswersCsv(data);
                for (int kind = 0; kind < kKindCount; ++kind) {
                    std::string why;  // not kept: such a report is only sent uncompressed
                    Gzip(made->made[kind], made->gzipped[kind], why);
                }
                good_ = std::move(made);
            }
            next = good_;
        }
    } catch (const std::exception& e) {
        // Out of memory while making the reports: the next check tries again.
        auto failed = std::make_shared<Snapshot>();
        failed->error = std::string("cannot make the reports: ") + e.what();
        next = std::move(failed);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        snapshot_ = next;
    }
    published_.notify_all();
    return next;
}

std::shared_ptr<const ReportCache::Snapshot> ReportCache::Current() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        published_.wait(lock, [this] { return snapshot_ != nullptr || !running_; });
        if (running_) return snapshot_;
    }
    return Refresh();
}

int ReportCache::Get(Kind kind, Body& out, std::string& error) {
    if (kind < 0 || kind >= kKindCount) {
        error = "no such report";
        return -1;
    }
    const std::shared_ptr<const Snapshot> now = Current();
    if (!now->ok) {
        error = now->error;
        return -1;
    }
    out.plain = std::shared_ptr<const std::string>(now, &now->made[kind]);
    out.gzip = now->gzipped[kind].empty()
                   ? nullptr
                   : std::shared_ptr<const std::string>(now, &now->gzipped[kind]);
    return 0;
}

int ReportCache::Get(Kind kind, std::string& out, std::string& error) {
    Body body;
    if (Get(kind, body, error) != 0) return -1;
    out = *body.plain;
    return 0;
}

int ReportCache::GetLearner(int group, int user, std::string& out, std::string& error) {
    const std::shared_ptr<const Snapshot> now = Current();
    if (!now->ok) {
        error = now->error;
        return -1;
    }
    const Learner* learner = FindLearner(*now->data, group, user);
    if (!learner) return 0;
    out = LearnerJson(*learner, *now->data);
    return 1;
}

}  // namespace report
