// A course's learner files held in memory for reports, and read again only where they changed
// (size, modification time and file identity): the GROUP and USERS files, each learner's score
// and history files, and the lesson's step files. Every file is opened for reading only and
// closed before Refresh returns, so no lock is held between two refreshes. The learners' folder
// is watched (inotify): a refresh looks only at the learners whose files the system said
// changed, and at all of them now and then (a full rescan, for what a watch cannot see: a
// folder on a network file system).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data/UserRecord.h"
#include "report/HistoryLines.h"
#include "report/ReportCourse.h"

namespace report {

// What identifies one version of a file; missing = the file was not there. A learner's file is
// stamped without following a link, so a link is seen as one (not regular).
struct FileStamp {
    bool missing = true;
    bool regular = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    int64_t mtime_ns = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const std::string& path);
// The stamp of name in the folder dirfd, a link taken as itself.
FileStamp StampAt(int dirfd, const std::string& name);

// One step's row of a score file.
struct StepScore {
    int32_t score = -1, worth = 0, bonus = 0, time = 0, visits = 0, status = 0;
};

struct Learner {
    data::UserRecord record;        // UserName in UTF-8
    std::vector<StepScore> scores;  // empty without a readable score file
    std::vector<HistoryLine> history;
    // The newest modification time of the score and history files (seconds since 1970).
    std::optional<int64_t> last_active;
    // Why the score or the history file of this learner could not be read; empty when well.
    std::string score_problem, history_problem;
    // A record with steps and no score file yet: a session begun through the data server sends
    // the score file only at its end.
    bool nothing_sent = false;
    // Both reasons in one text; empty when the learner's files are sound.
    std::string Unreadable() const;

    FileStamp score_stamp, history_stamp;
    std::string score_name, history_name;  // in the learners' folder
    int32_t score_steps = -1;              // the step count the scores were decoded with
};

struct Group {
    int32_t number = 0;
    std::string name;  // UTF-8
};

struct CourseData {
    std::vector<Group> groups;      // by number
    std::vector<Learner> learners;  // by group, then user
    std::vector<StepText> steps;    // the lesson's steps, level by level
    std::vector<int> level_steps;   // steps of each level, from level 1
    // Why the steps end before a level's step file does (a FIFO, a folder, an unreadable
    // file); empty when the lesson's files were read to their end.
    std::string steps_problem;
    // Grows whenever anything above changed: reports made from an older generation are stale.
    uint64_t generation = 0;
};

// The learner (group, user) of data, or null.
const Learner* FindLearner(const CourseData& data, int group, int user);

class CourseReader {
  public:
    // full_rescan: the longest time between two looks at every learner's files while the
    // folder is watched.
    explicit CourseReader(const ReportCourse& course,
                          std::chrono::seconds full_rescan = std::chrono::seconds(120));
    ~CourseReader();
    CourseReader(const CourseReader&) = delete;
    CourseReader& operator=(const CourseReader&) = delete;

    // Reads again what changed since the last call. 0, or -1 with the reason in error when the
    // GROUP or USERS file cannot be read (the data of the last good read stays). A learner's
    // damaged or missing file only marks that learner.
    int Refresh(std::string& error);
    const CourseData& Data() const { return data_; }
    // The learner (group, user), or null.
    const Learner* Find(int group, int user) const { return FindLearner(data_, group, user); }

  private:
    bool RefreshSteps();
    int RefreshRecords(std::string& error, bool& changed);
    bool RefreshFiles(Learner& learner, int dirfd);
    // Watches the folder opened as dirfd (identity dev, ino) unless it is already; reads the
    // names the watch reported since the last call into changed_names_. False when every
    // learner must be looked at: no watch, a new one, or events lost.
    bool TakeChanges(const std::string& folder, dev_t dev, ino_t ino);
    void Unwatch();
    // path as the reports name it: inside the course, relative to its folder.
    std::string Shown(const std::string& path) const;

    const ReportCourse& course_;
    std::string real_root_;  // the course folder, links resolved
    CourseData data_;
    std::vector<FileStamp> step_stamps_;
    FileStamp group_stamps_[2], users_stamps_[2];
    bool loaded_ = false;

    const std::chrono::seconds full_rescan_;
    std::chrono::steady_clock::time_point last_full_;
    int inotify_fd_ = -1, watch_ = -1;
    dev_t watched_dev_ = 0;
    ino_t watched_ino_ = 0;
    std::vector<std::string> changed_names_;
};

}  // namespace report
