#include "report/CourseReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <unordered_map>
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

// A learner file that is a link, a FIFO, a folder or a device: never read.
constexpr int kNotLearnerFile = -1;

std::string Folder(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// The path with every link resolved; empty when it cannot be resolved.
std::string Resolved(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return std::string();
    std::string out(real);
    std::free(real);
    return out;
}

// Whether the resolved path lies in the resolved folder root.
bool Within(const std::string& real_root, const std::string& real) {
    if (real.empty() || real_root.empty()) return false;
    if (real_root == "/" || real == real_root) return true;
    return real.size() > real_root.size() && real.compare(0, real_root.size(), real_root) == 0 &&
           real[real_root.size()] == '/';
}

// Reads the learner file name of the folder dirfd: a regular file of at most cap bytes, never
// through a link (a player or the data server may replace the name at any time). 0, an errno
// value (EFBIG past cap), or kNotLearnerFile.
int ReadLearnerFile(int dirfd, const std::string& name, off_t cap, std::string& out) {
    const int fd = ::openat(dirfd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ELOOP ? kNotLearnerFile : errno;
    struct stat st;
    int rc = 0;
    if (::fstat(fd, &st) != 0)
        rc = errno;
    else if (!S_ISREG(st.st_mode))
        rc = kNotLearnerFile;
    else if (st.st_size > cap)
        rc = EFBIG;
    out.clear();
    char buf[65536];
    while (rc == 0) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno != EINTR) rc = errno;
            continue;
        }
        out.append(buf, size_t(n));
        if (off_t(out.size()) > cap) rc = EFBIG;  // grew while read
    }
    ::close(fd);
    return rc;
}

std::string LearnerFileError(int rc) {
    return rc == kNotLearnerFile ? "not a learner file" : platform::SystemErrorText(rc);
}

// Reads one ISAM file of records through decode; 0, or -1 with the reason in error. shown names
// the file in that reason.
template <class Read>
int ReadIsam(const std::string& base, const std::string& shown, Read&& read, std::string& error) {
    data::DataAccess access;
    if (const platform::Status opened = access.Open(base, isam::OPEN_INPUT); !opened) {
        error = "cannot open " + shown + " : " + opened.Cause();
        return -1;
    }
    const platform::Status read_all = read(access);
    const int rc = read_all ? 0 : -1;
    if (rc != 0) error = "cannot read " + shown + " : " + read_all.Cause();
    (void)access.Close();
    return rc;
}

// A learner file's name as the player makes it: "SCO001.002" for user 1 of group 2.
std::string LearnerFileName(const char* kind, int user, int group) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%03d.%03d", kind, user, group);
    return name;
}

// The learner files of the folder dirfd whose names differ from the player's upper case form
// only by case: upper case form -> name in the folder. Usually empty.
std::unordered_map<std::string, std::string> OtherCaseNames(int dirfd) {
    std::unordered_map<std::string, std::string> names;
    const int fd = ::openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return names;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return names;
    }
    while (const struct dirent* entry = ::readdir(dir)) {
        std::string upper = entry->d_name;
        for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
        if (upper != entry->d_name && (upper.rfind("SCO", 0) == 0 || upper.rfind("HST", 0) == 0))
            names.emplace(std::move(upper), entry->d_name);
    }
    ::closedir(dir);
    return names;
}

// The (user, group) a learner file's name "SCOuuu.ggg" or "HSTuuu.ggg" gives (any case);
// false for another name.
bool LearnerOfName(const std::string& name, int& user, int& group) {
    if (name.size() != 10 || name[6] != '.') return false;
    for (size_t i : {3, 4, 5, 7, 8, 9})
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
    user = std::atoi(name.substr(3, 3).c_str());
    group = std::atoi(name.substr(7, 3).c_str());
    return true;
}

// Stamps of an ISAM file's two parts.
void StampIsam(const std::string& base, FileStamp stamps[2]) {
    stamps[0] = StampAt(AT_FDCWD, base + ".dat");
    stamps[1] = StampAt(AT_FDCWD, base + ".idx");
}

}  // namespace

namespace {

FileStamp StampFrom(const struct stat& st) {
    FileStamp stamp;
    stamp.missing = false;
    stamp.regular = S_ISREG(st.st_mode);
    stamp.dev = st.st_dev;
    stamp.ino = st.st_ino;
    stamp.size = st.st_size;
    stamp.mtime_ns = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
}

}  // namespace

FileStamp StampOf(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? StampFrom(st) : FileStamp();
}

FileStamp StampAt(int dirfd, const std::string& name) {
    struct stat st;
    return ::fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 ? StampFrom(st)
                                                                         : FileStamp();
}

std::string Learner::Unreadable() const {
    if (score_problem.empty()) return history_problem;
    if (history_problem.empty()) return score_problem;
    return score_problem + "; " + history_problem;
}

CourseReader::CourseReader(const ReportCourse& course, std::chrono::seconds full_rescan)
    : course_(course), full_rescan_(full_rescan) {}

CourseReader::~CourseReader() {
    Unwatch();
}

void CourseReader::Unwatch() {
    if (inotify_fd_ >= 0) ::close(inotify_fd_);
    inotify_fd_ = watch_ = -1;
}

bool CourseReader::TakeChanges(const std::string& folder, dev_t dev, ino_t ino) {
    changed_names_.clear();
    if (inotify_fd_ >= 0 && (dev != watched_dev_ || ino != watched_ino_)) Unwatch();
    if (inotify_fd_ < 0) {
        inotify_fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (inotify_fd_ < 0) return false;
        watch_ = ::inotify_add_watch(inotify_fd_, folder.c_str(),
                                     IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_CREATE |
                                         IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                         IN_MOVE_SELF | IN_ONLYDIR);
        if (watch_ < 0) {
            Unwatch();
            return false;
        }
        watched_dev_ = dev;
        watched_ino_ = ino;
        return false;  // what changed before the watch began is not known
    }
    alignas(struct inotify_event) char buf[65536];
    bool lost = false;
    for (;;) {
        const ssize_t n = ::read(inotify_fd_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) break;
        if (n <= 0) {
            lost = true;
            break;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const struct inotify_event*>(buf + at);
            // Events lost, or the folder itself gone or moved: everything is looked at again.
            if (event->mask & (IN_Q_OVERFLOW | IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF))
                lost = true;
            else if (event->len > 0)
                changed_names_.emplace_back(event->name);
            at += ssize_t(sizeof(struct inotify_event) + event->len);
        }
    }
    if (lost) Unwatch();
    return !lost;
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

std::string CourseReader::Shown(const std::string& path) const {
    const std::string& root = course_.Root();
    if (path.size() > root.size() + 1 && path.compare(0, root.size(), root) == 0 &&
        path[root.size()] == '/')
        return path.substr(root.size() + 1);
    return path;
}

int CourseReader::Refresh(std::string& error) {
    if (real_root_.empty()) real_root_ = Resolved(course_.Root());
    bool changed = RefreshSteps();
    bool records = false;
    if (RefreshRecords(error, records) != 0) return -1;
    changed = changed || records;
    // The learners' files are read through their folder, which must lie in the course: a name
    // in it is then opened without following a link.
    const std::string folder = Folder(course_.ScorePath(1, 1));
    const int dirfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd < 0) {
        error = "cannot open the learners' folder " + Shown(folder) + " : " +
                platform::SystemErrorText(errno);
        return -1;
    }
    // The folder opened is the one whose resolved path lies in the course (not one swapped in
    // between): the same file on the same device.
    const std::string real = Resolved(folder);
    struct stat opened, named;
    if (!Within(real_root_, real) || ::fstat(dirfd, &opened) != 0 ||
        ::stat(real.c_str(), &named) != 0 || opened.st_dev != named.st_dev ||
        opened.st_ino != named.st_ino) {
        ::close(dirfd);
        error = "the learners' folder " + Shown(folder) + " leads out of the course";
        return -1;
    }
    // Every learner is looked at when the records changed, without a working watch, and every
    // full_rescan_; otherwise only the learners whose files the watch named.
    const auto now = std::chrono::steady_clock::now();
    const bool watched = TakeChanges(real, opened.st_dev, opened.st_ino);
    if (!loaded_ || records || !watched || now - last_full_ >= full_rescan_) {
        const std::unordered_map<std::string, std::string> other_case = OtherCaseNames(dirfd);
        for (Learner& learner : data_.learners) {
            const int group = learner.record.GroupNo, user = learner.record.UserNo;
            for (auto [name, kind] : {std::make_pair(&learner.score_name, "SCO"),
                                      std::make_pair(&learner.history_name, "HST")}) {
                *name = LearnerFileName(kind, user, group);
                if (const auto at = other_case.find(*name); at != other_case.end())
                    *name = at->second;
            }
            changed = RefreshFiles(learner, dirfd) || changed;
        }
        last_full_ = now;
    } else {
        std::sort(changed_names_.begin(), changed_names_.end());
        changed_names_.erase(std::unique(changed_names_.begin(), changed_names_.end()),
                             changed_names_.end());
        for (const std::string& name : changed_names_) {
            int user = 0, group = 0;
            if (!LearnerOfName(name, user, group)) continue;
            const auto at = std::lower_bound(
                data_.learners.begin(), data_.learners.end(), std::make_pair(group, user),
                [](const Learner& l, const std::pair<int, int>& key) {
                    return std::make_pair(l.record.GroupNo, l.record.UserNo) < key;
                });
            if (at == data_.learners.end() || at->record.GroupNo != group ||
                at->record.UserNo != user)
                continue;
            // Only the learner's own names (their case as the folder holds them).
            if (name != at->score_name && name != at->history_name) continue;
            changed = RefreshFiles(*at, dirfd) || changed;
        }
    }
    ::close(dirfd);
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
    data_.steps_problem.clear();
    for (int level = 1; level <= kWatchedLevels; ++level) {
        const size_t before = data_.steps.size();
        const FileStamp& stamp = step_stamps_[size_t(level - 1)];
        if (stamp.missing) break;  // the lesson's last level was the one before
        const std::string path = course_.StepFilePath(level);
        // Step files are the course's content, which only its owner writes: one may be a link
        // (a user's copy of an installed course links to it), but never a FIFO or a device.
        const std::string why = !stamp.regular                           ? "is not a regular file"
                                : !course_.ReadSteps(level, data_.steps) ? "cannot be read"
                                                                         : "";
        if (!why.empty()) {
            data_.steps.resize(before);
            data_.steps_problem =
                "the step file of level " + std::to_string(level) + ", " + Shown(path) + ", " + why;
            break;
        }
        data_.level_steps.push_back(int(data_.steps.size() - before));
    }
    return true;
}

int CourseReader::RefreshRecords(std::string& error, bool& changed) {
    FileStamp groups[2], users[2];
    StampIsam(course_.GroupPath(), groups);
    StampIsam(course_.UsersPath(), users);
    if (loaded_ && std::equal(groups, groups + 2, group_stamps_) &&
        std::equal(users, users + 2, users_stamps_))
        return 0;
    // A link or a FIFO in place of a part is not opened.
    const std::pair<const FileStamp*, std::string> parts[] = {
        {&groups[0], course_.GroupPath() + ".dat"},
        {&groups[1], course_.GroupPath() + ".idx"},
        {&users[0], course_.UsersPath() + ".dat"},
        {&users[1], course_.UsersPath() + ".idx"}};
    for (const auto& [stamp, path] : parts)
        if (!stamp->missing && !stamp->regular) {
            error = "cannot open " + Shown(path) + " : not a learner file";
            return -1;
        }

    std::vector<data::GroupRecord> group_records;
    std::vector<data::UserRecord> user_records;
    if (ReadIsam(
            course_.GroupPath(), Shown(course_.GroupPath()),
            [&](data::DataAccess& a) { return data::ReadAllGroups(a, group_records); },
            error) != 0 ||
        ReadIsam(
            course_.UsersPath(), Shown(course_.UsersPath()),
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

bool CourseReader::RefreshFiles(Learner& learner, int dirfd) {
    const std::string& score_name = learner.score_name;
    const std::string& history_name = learner.history_name;
    const FileStamp score = StampAt(dirfd, score_name);
    const FileStamp history = StampAt(dirfd, history_name);
    const int32_t steps = learner.record.StepCount;
    bool changed = false;

    if (!(score == learner.score_stamp) || steps != learner.score_steps ||
        learner.score_steps == -1) {
        changed = true;
        learner.score_stamp = score;
        learner.score_steps = steps;
        learner.scores.clear();
        learner.score_problem.clear();
        learner.nothing_sent = false;
        const std::string& name = score_name;
        std::string bytes;
        data::ScoreBook book;
        if (score.missing) {
            learner.nothing_sent = steps > 0;
        } else if (!score.regular) {
            learner.score_problem = name + ": not a learner file";
        } else if (steps == 0) {
            // A record without steps reads no score file: one left there is not this record's.
        } else if (!data::IsScoreStepCount(steps)) {
            learner.score_problem =
                name + ": the record's step count " + std::to_string(steps) + " is out of range";
        } else if (const off_t size = off_t(data::ScoreFileSize(steps)); score.size != size) {
            // Known damaged by its size alone: never read, however large.
            learner.score_problem = name + ": damaged (" + std::to_string(score.size) +
                                    " bytes, not " + std::to_string(size) + ")";
        } else if (const int rc = ReadLearnerFile(dirfd, name, size, bytes); rc != 0) {
            learner.score_problem =
                name + ": " + (rc == EFBIG ? "damaged (it grew while read)" : LearnerFileError(rc));
        } else if (!data::DecodeScores(bytes, steps, book)) {
            learner.score_problem = name + ": damaged (" + std::to_string(bytes.size()) +
                                    " bytes, not " + std::to_string(size) + ")";
        } else {
            learner.scores.resize(size_t(steps));
            for (size_t i = 0; i < size_t(steps); ++i)
                learner.scores[i] = {book.StepScore[i], book.StepWorth[i],  book.StepBonus[i],
                                     book.StepTime[i],  book.StepVisits[i], book.StepStatus[i]};
        }
    }

    if (!(history == learner.history_stamp)) {
        changed = true;
        learner.history_stamp = history;
        learner.history.clear();
        learner.history_problem.clear();
        const std::string& name = history_name;
        std::string bytes;
        if (!history.missing) {
            const int rc = !history.regular ? kNotLearnerFile
                                            : ReadLearnerFile(dirfd, name, kMaxHistoryBytes, bytes);
            if (rc != 0) {
                learner.history_problem = name + ": " + LearnerFileError(rc);
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
            if (s->regular) {
                const int64_t seconds = s->mtime_ns / 1000000000;
                if (!learner.last_active || seconds > *learner.last_active)
                    learner.last_active = seconds;
            }
    }
    return changed;
}

}  // namespace report
