#include "report/CourseReader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <utility>

#include "data/DataAccess.h"
#include "data/GroupRecord.h"
#include "data/LearnerFiles.h"
#include "data/ScoreBook.h"
#include "data/ScoreFile.h"
#include "isam/Isam.h"
#include "platform/Path.h"
#include "platform/ReadFile.h"
#include "text/Codepage.h"

namespace report {

namespace {

// Levels whose step files are watched; a lesson uses the first ones.
constexpr int kWatchedLevels = 9;
// A history past this size is not a learner's journal (the data server refuses one as big).
constexpr off_t kMaxHistoryBytes = 16 << 20;

std::string FileName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Reads one ISAM file of records through decode; 0, or -1 with the reason in error.
template <class Read>
int ReadIsam(const std::string& base, Read&& read, std::string& error) {
    data::DataAccess access;
    if (const platform::Status opened = access.Open(base, isam::OPEN_INPUT); !opened) {
        error = "cannot open " + base + " : " + opened.Cause();
        return -1;
    }
    const platform::Status read_all = read(access);
    const int rc = read_all ? 0 : -1;
    if (rc != 0) error = "cannot read " + base + " : " + read_all.Cause();
    (void)access.Close();
    return rc;
}

}  // namespace

FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return stamp;
    stamp.missing = false;
    stamp.dev = st.st_dev;
    stamp.ino = st.st_ino;
    stamp.size = st.st_size;
    stamp.mtime_ns = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
}

std::string Learner::Unreadable() const {
    if (score_problem.empty()) return history_problem;
    if (history_problem.empty()) return score_problem;
    return score_problem + "; " + history_problem;
}

const Learner* FindLearner(const CourseData& data, int group, int user) {
    const auto at =
        std::lower_bound(data.learners.begin(), data.learners.end(), std::make_pair(group, user),
                         [](const Learner& l, const std::pair<int, int>& key) {
                             return std::make_pair(l.record.GroupNo, l.record.UserNo) < key;
                         });
    if (at == data.learners.end() || at->record.GroupNo != group || at->record.UserNo != user)
        return nullptr;
    return &*at;
}

int CourseReader::Refresh(std::string& error) {
    bool changed = RefreshSteps();
    if (RefreshRecords(error, changed) != 0) return -1;
    for (Learner& learner : data_.learners) changed = RefreshFiles(learner) || changed;
    if (changed || !loaded_) ++data_.generation;
    loaded_ = true;
    return 0;
}

bool CourseReader::RefreshSteps() {
    std::vector<FileStamp> stamps;
    for (int level = 1; level <= kWatchedLevels; ++level)
        stamps.push_back(StampOf(course_.StepFilePath(level)));
    if (loaded_ && stamps == step_stamps_) return false;
    step_stamps_ = std::move(stamps);
    data_.steps.clear();
    data_.level_steps.clear();
    for (int level = 1; level <= kWatchedLevels; ++level) {
        const size_t before = data_.steps.size();
        if (step_stamps_[size_t(level - 1)].missing || !course_.ReadSteps(level, data_.steps))
            break;
        data_.level_steps.push_back(int(data_.steps.size() - before));
    }
    return true;
}

int CourseReader::RefreshRecords(std::string& error, bool& changed) {
    const FileStamp groups[2] = {StampOf(course_.GroupPath() + ".dat"),
                                 StampOf(course_.GroupPath() + ".idx")};
    const FileStamp users[2] = {StampOf(course_.UsersPath() + ".dat"),
                                StampOf(course_.UsersPath() + ".idx")};
    if (loaded_ && std::equal(groups, groups + 2, group_stamps_) &&
        std::equal(users, users + 2, users_stamps_))
        return 0;

    std::vector<data::GroupRecord> group_records;
    std::vector<data::UserRecord> user_records;
    if (ReadIsam(
            course_.GroupPath(),
            [&](data::DataAccess& a) { return data::ReadAllGroups(a, group_records); },
            error) != 0 ||
        ReadIsam(
            course_.UsersPath(),
            [&](data::DataAccess& a) { return data::ReadAllUsers(a, user_records); }, error) != 0)
        return -1;

    data_.groups.clear();
    for (const data::GroupRecord& g : group_records)
        data_.groups.push_back({g.group_no, text::Cp1252ToUtf8(g.name)});
    // Each learner keeps what was read of their files; a new record may change the step count,
    // which RefreshFiles notices.
    std::map<std::pair<int, int>, Learner> old;
    for (Learner& l : data_.learners)
        old.emplace(std::make_pair(l.record.GroupNo, l.record.UserNo), std::move(l));
    data_.learners.clear();
    for (data::UserRecord& record : user_records) {
        record.UserName = text::Cp1252ToUtf8(record.UserName);
        const auto at = old.find({record.GroupNo, record.UserNo});
        Learner learner = at != old.end() ? std::move(at->second) : Learner();
        learner.record = std::move(record);
        data_.learners.push_back(std::move(learner));
    }
    std::copy(groups, groups + 2, group_stamps_);
    std::copy(users, users + 2, users_stamps_);
    changed = true;
    return 0;
}

bool CourseReader::RefreshFiles(Learner& learner) {
    const int group = learner.record.GroupNo, user = learner.record.UserNo;
    const std::string score_path = course_.ScorePath(user, group);
    const std::string history_path = course_.HistoryPath(user, group);
    const FileStamp score = StampOf(score_path);
    const FileStamp history = StampOf(history_path);
    const int32_t steps = learner.record.StepCount;
    bool changed = false;

    if (!(score == learner.score_stamp) || steps != learner.score_steps ||
        learner.score_steps == -1) {
        changed = true;
        learner.score_stamp = score;
        learner.score_steps = steps;
        learner.scores.clear();
        learner.score_problem.clear();
        const std::string name = FileName(score_path);
        if (score.missing) {
            if (steps > 0) learner.score_problem = name + ": no score file";
        } else if (steps == 0) {
            // A record without steps reads no score file: one left there is not this record's.
        } else if (!data::IsScoreStepCount(steps)) {
            learner.score_problem =
                name + ": the record's step count " + std::to_string(steps) + " is out of range";
        } else {
            std::string bytes;
            data::ScoreBook book;
            const int rc = platform::ReadRegularFile(score_path, bytes);
            if (rc != 0) {
                learner.score_problem = name + ": " + platform::SystemErrorText(rc);
            } else if (!data::DecodeScores(bytes, steps, book)) {
                learner.score_problem = name + ": damaged (" + std::to_string(bytes.size()) +
                                        " bytes, not " +
                                        std::to_string(data::ScoreFileSize(steps)) + ")";
            } else {
                learner.scores.resize(size_t(steps));
                for (size_t i = 0; i < size_t(steps); ++i)
                    learner.scores[i] = {book.StepScore[i], book.StepWorth[i],  book.StepBonus[i],
                                         book.StepTime[i],  book.StepVisits[i], book.StepStatus[i]};
            }
        }
    }

    if (!(history == learner.history_stamp)) {
        changed = true;
        learner.history_stamp = history;
        learner.history.clear();
        learner.history_problem.clear();
        const std::string name = FileName(history_path);
        if (!history.missing) {
            std::string bytes;
            const int rc = history.size > kMaxHistoryBytes
                               ? EFBIG
                               : platform::ReadRegularFile(history_path, bytes);
            if (rc != 0) {
                learner.history_problem = name + ": " + platform::SystemErrorText(rc);
            } else {
                HistoryText text = ParseHistory(bytes);
                learner.history = std::move(text.lines);
                if (text.bad_line != 0)
                    learner.history_problem =
                        name + ": line " + std::to_string(text.bad_line) + " is damaged";
            }
        }
    }

    if (changed) {
        learner.last_active.reset();
        for (const FileStamp* s : {&score, &history})
            if (!s->missing) {
                const int64_t seconds = s->mtime_ns / 1000000000;
                if (!learner.last_active || seconds > *learner.last_active)
                    learner.last_active = seconds;
            }
    }
    return changed;
}

}  // namespace report
