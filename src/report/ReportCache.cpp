#include "report/ReportCache.h"

#include "report/Reports.h"

namespace report {

int ReportCache::Get(Kind kind, std::string& out, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (reader_.Refresh(error) != 0) return -1;
    const CourseData& data = reader_.Data();
    if (made_generation_[kind] != data.generation) {
        switch (kind) {
            case kSummaryJson:
                made_[kind] = SummaryJson(MakeSummary(data, course_.Name(), course_.Language()));
                break;
            case kLearnersCsv:
                made_[kind] = LearnersCsv(MakeSummary(data, course_.Name(), course_.Language()));
                break;
            case kStepsJson:
                made_[kind] = StepsJson(MakeSteps(data));
                break;
            case kStepsCsv:
                made_[kind] = StepsCsv(MakeSteps(data));
                break;
            case kKindCount:
                return -1;
        }
        made_generation_[kind] = data.generation;
    }
    out = made_[kind];
    return 0;
}

int ReportCache::GetLearner(int group, int user, std::string& out, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (reader_.Refresh(error) != 0) return -1;
    const Learner* learner = reader_.Find(group, user);
    if (!learner) return 0;
    out = LearnerJson(*learner, reader_.Data());
    return 1;
}

}  // namespace report
