#include "LearnerCommands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "data/DataAccess.h"
#include "data/LearnerFiles.h"
#include "data/LearnerLock.h"
#include "platform/FileOwner.h"
#include "platform/Path.h"

namespace learners {

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "learners: %s\n", message.c_str());
    return 1;
}

// The failed step, the file it worked on and the engine's reason.
int EngineFail(const platform::Status& status, const std::string& what) {
    return Fail(what + " of " + status.what() + " : " + status.Cause() + " (" +
                std::to_string(status.code()) + ")");
}

bool OpenFile(data::DataAccess& access, const std::string& path, std::string& error) {
    if (const platform::Status opened = access.Open(path, isam::OPEN_INOUT); !opened) {
        error =
            "open " + path + " : " + opened.Cause() + " (" + std::to_string(opened.code()) + ")";
        return false;
    }
    if (access.Mode() & isam::LOCKMODE_NONE) {
        (void)access.Close();
        error = "open " + path + " : the files are read-only";
        return false;
    }
    return true;
}

std::string UserLabel(const Request& r) {
    return "user " + std::to_string(r.user) + " of group " + std::to_string(r.group);
}

// Removes a learner's own files; a file that is not there is no error.
int RemoveUserFiles(const data::Course& course, int user, int group) {
    for (const std::string& path :
         {ScoreFile(course, user, group), HistoryFile(course, user, group),
          ContextFile(course, user, group)}) {
        if (std::remove(path.c_str()) != 0 && errno != ENOENT)
            return Fail("remove " + path + " : " + std::strerror(errno));
    }
    return 0;
}

struct OpenFiles {
    data::DataAccess groups, users;
};

// Opens both files; false after printing why.
bool OpenBoth(const data::Course& course, OpenFiles& files) {
    std::string error;
    if (!OpenFile(files.groups, course.GroupFile(), error) ||
        !OpenFile(files.users, course.UsersFile(), error)) {
        Fail(error);
        return false;
    }
    return true;
}

// Reads the requested user into u; 0, or 1 after printing why.
int ReadUser(OpenFiles& f, const Request& r, data::UserRecord& u) {
    const platform::Status found = data::FindUser(f.users, r.group, r.user, u);
    if (found) return 0;
    if (found.code() == data::kNotFound) return Fail(UserLabel(r) + " does not exist");
    return EngineFail(found, "read " + UserLabel(r));
}

}  // namespace

int InitFiles(const data::Course& course) {
    const std::string folder = course.LearnerFolder();
    std::vector<std::string> missing;  // innermost first
    for (std::string p = folder; p != "/" && p != "." && !platform::DirectoryExists(p);
         p = platform::FolderOf(p))
        missing.push_back(p);
    if (!platform::CreateFolders(folder)) return Fail("cannot create the folder " + folder);
    // Run as root, each new folder goes to the owner of the one it was made in.
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        if (!platform::ShareOwner(*it, platform::FolderOf(*it)))
            return Fail("cannot give " + *it + " to the course's owner : " + std::strerror(errno));
    int status = 0;
    for (const auto& [path, build] : {std::pair{course.GroupFile(), &data::BuildGroupFile},
                                      {course.UsersFile(), &data::BuildUsersFile}}) {
        if (platform::FileExists(path + ".idx") || platform::FileExists(path + ".dat")) {
            std::fprintf(stderr, "learners: %s exists already, left alone\n", path.c_str());
            status = 1;
            continue;
        }
        if (const platform::Status built = build(path); !built)
            return Fail("build " + built.what() + " : " + built.Cause() + " (" +
                        std::to_string(built.code()) + ")");
    }
    return status;
}

int AddGroup(const data::Course& course, const Request& r) {
    OpenFiles f;
    if (!OpenBoth(course, f)) return 1;
    data::GroupRecord g;
    if (const platform::Status found = data::FindGroup(f.groups, r.group, g); found)
        return Fail("group " + std::to_string(r.group) + " exists already");
    else if (found.code() != data::kNotFound)
        return EngineFail(found, "read group " + std::to_string(r.group));
    g = data::GroupTemplate();
    g.group_no = r.group;
    g.name = r.name;
    uint8_t b[data::kGroupRecordSize];
    data::EncodeGroupRecord(g, b);
    if (const platform::Status written = f.groups.Write(b); !written)
        return EngineFail(written, "write group");
    return 0;
}

int AddUser(const data::Course& course, const Request& r) {
    OpenFiles f;
    if (!OpenBoth(course, f)) return 1;
    data::GroupRecord g;
    if (const platform::Status group = data::FindGroup(f.groups, r.group, g); !group) {
        if (group.code() == data::kNotFound)
            return Fail("group " + std::to_string(r.group) + " does not exist");
        return EngineFail(group, "read group " + std::to_string(r.group));
    }
    data::UserRecord u;
    if (const platform::Status found = data::FindUser(f.users, r.group, r.user, u); found)
        return Fail(UserLabel(r) + " exists already");
    else if (found.code() != data::kNotFound)
        return EngineFail(found, "read " + UserLabel(r));
    u = data::UserTemplate();
    u.GroupNo = r.group;
    u.UserNo = r.user;
    u.UserName = r.name;
    u.MayConfigure = r.may_configure ? 1 : 0;
    if (r.password) u.password = data::ScramblePassword(*r.password);
    uint8_t b[data::kUserRecordSize];
    data::EncodeUserRecord(u, b);
    if (const platform::Status written = f.users.Write(b); !written)
        return EngineFail(written, "write " + UserLabel(r));
    // Files left behind by an earlier learner of the same number are not this one's.
    return RemoveUserFiles(course, r.user, r.group);
}

// Holds the learner as a session would, so that no change is made under a running session.
// False (reported) when a session holds them.
static bool HoldFromSessions(const data::Course& course, const Request& r,
                             data::LearnerLock& lock) {
    const std::string folder = course.LearnerFolder();
    if (lock.Take(folder, r.group, r.user).code() == data::kLearnerBusy) {
        Fail(UserLabel(r) + " is in a lesson session now; try again when it has ended");
        return false;
    }
    // A lock file made here as root goes to the owner of the learners' folder, whose sessions
    // must go on opening it.
    const std::string lock_file = folder + "/" + data::kLearnerLockFile;
    if (lock.Held() && !platform::ShareOwner(lock_file, folder)) {
        Fail("cannot give " + lock_file + " to the course's owner : " + std::strerror(errno));
        return false;
    }
    return true;  // a folder where no lock can be made is not written by sessions either
}

int RemoveUser(const data::Course& course, const Request& r) {
    data::LearnerLock lock;
    if (!HoldFromSessions(course, r, lock)) return 1;
    OpenFiles f;
    if (!OpenBoth(course, f)) return 1;
    data::UserRecord u;
    if (const int rc = ReadUser(f, r, u)) return rc;
    uint8_t b[data::kUserRecordSize];
    data::EncodeUserRecord(u, b);
    if (const platform::Status deleted = f.users.Delete(b); !deleted)
        return EngineFail(deleted, "delete " + UserLabel(r));
    return RemoveUserFiles(course, r.user, r.group);
}

int RemoveGroup(const data::Course& course, const Request& r) {
    OpenFiles f;
    if (!OpenBoth(course, f)) return 1;
    data::GroupRecord g;
    if (const platform::Status found = data::FindGroup(f.groups, r.group, g); !found) {
        if (found.code() == data::kNotFound)
            return Fail("group " + std::to_string(r.group) + " does not exist");
        return EngineFail(found, "read group " + std::to_string(r.group));
    }
    std::vector<data::UserRecord> users;
    if (const platform::Status read = data::ReadAllUsers(f.users, users); !read)
        return EngineFail(read, "read the users");
    for (const data::UserRecord& u : users)
        if (u.GroupNo == r.group)
            return Fail("group " + std::to_string(r.group) + " still has users");
    uint8_t b[data::kGroupRecordSize];
    data::EncodeGroupRecord(g, b);
    if (const platform::Status deleted = f.groups.Delete(b); !deleted)
        return EngineFail(deleted, "delete group");
    return 0;
}

// Rewrites the user's record through change; 1 when the user does not exist.
template <class Change>
static int ChangeUser(const data::Course& course, const Request& r, Change&& change) {
    OpenFiles f;
    if (!OpenBoth(course, f)) return 1;
    data::UserRecord u;
    if (const int rc = ReadUser(f, r, u)) return rc;
    change(u);
    uint8_t b[data::kUserRecordSize];
    data::EncodeUserRecord(u, b);
    if (const platform::Status rewritten = f.users.Rewrite(b); !rewritten)
        return EngineFail(rewritten, "rewrite " + UserLabel(r));
    return 0;
}

int ResetUser(const data::Course& course, const Request& r) {
    data::LearnerLock lock;  // held over the record and the files
    if (!HoldFromSessions(course, r, lock)) return 1;
    const int rc = ChangeUser(course, r, [](data::UserRecord& u) {
        data::UserRecord fresh = data::UserTemplate();
        fresh.UserNo = u.UserNo;
        fresh.GroupNo = u.GroupNo;
        fresh.UserName = u.UserName;
        fresh.MayConfigure = u.MayConfigure;
        fresh.password = u.password;
        u = fresh;
    });
    return rc != 0 ? rc : RemoveUserFiles(course, r.user, r.group);
}

int SetProgress(const data::Course& course, const Request& r) {
    data::LearnerLock lock;
    if (!HoldFromSessions(course, r, lock)) return 1;
    return ChangeUser(course, r, [&](data::UserRecord& u) {
        if (r.state) u.State = *r.state;
        if (r.level) u.Level = u.MaxLevel = *r.level;
        if (r.step) u.Step = *r.step;
        if (r.total) u.Total = *r.total;
        if (r.worth) u.TotalWorth = *r.worth;
    });
}

}  // namespace learners
