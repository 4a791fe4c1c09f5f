#include "shell/OpenDataAccess.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "data/CommonTexts.h"
#include "data/CoursePaths.h"
#include "data/LearnerFiles.h"
#include "isam/Check.h"
#include "platform/Path.h"
#include "text/FormatString.h"

namespace shell {
namespace {

// Removes the files of an ISAM name (data, index, lock).
void RemovePair(const std::string& base) {
    for (const char* ext : {".dat", ".idx", ".lck"}) {
        std::error_code ec;
        std::filesystem::remove(base + ext, ec);
    }
}

// Fetches the ISAM pair `file` (GROUP or USERS) of the learner folder `folder` (course path)
// beside the local one, and puts it in place only when both halves came whole and check sound.
// For USERS, a learner whose local record is newer keeps it (listed in carried). False, with
// the reason in why, leaves the local files as they were.
bool FetchPair(lesson::RemoteData& remote, StartupView& view, text::MessageFile& common,
               const std::string& root, const std::string& folder, const char* file,
               std::vector<data::UserRecord>& carried, std::string& why) {
    const std::string course_base = folder + "\\" + file;
    const std::string local = platform::NativePathIn(root, course_base);
    const size_t slash = local.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : local.substr(0, slash);
    platform::CreateFolders(dir);
    // A name of its own, so that an interrupted fetch is never taken for the learners' files.
    const std::string fetched = dir + "/fetched-" + file;
    RemovePair(fetched);
    for (const char* ext : {".dat", ".idx"}) {
        view.ShowStatus(common.GetText(data::kTextFetching, std::string(file) + ext));
        if (!remote.FetchFile(course_base + ext, fetched + ext)) {
            why = std::string(file) + ext + ": " + remote.LastError();
            RemovePair(fetched);
            return false;
        }
    }
    std::vector<std::string> problems;
    if (!isam::CheckFiles(fetched.c_str(), &problems)) {
        why = std::string(file) + ": the server's copy is damaged" +
              (problems.empty() ? std::string() : " (" + problems.front() + ")");
        RemovePair(fetched);
        return false;
    }
    if (std::string(file) == "USERS") {
        int error = 0;
        if (data::CarryNewerUsers(local, fetched, carried, error) != 0) {
            why = std::string(file) + ": cannot compare with the local records (error " +
                  std::to_string(error) + ")";
            RemovePair(fetched);
            return false;
        }
    }
    // The index first: a data file never stands beside an index of another copy for longer
    // than the two renames.
    for (const char* ext : {".idx", ".dat"}) {
        if (std::rename((fetched + ext).c_str(), (local + ext).c_str()) != 0) {
            why = std::string(file) + ext + ": " + platform::SystemErrorText(errno);
            RemovePair(fetched);
            return false;
        }
    }
    RemovePair(fetched);
    return true;
}

}  // namespace

bool OpenDataAccess(data::Course& course, StartupView& view,
                    const lesson::RemoteDataFactory& make_remote,
                    std::unique_ptr<lesson::RemoteData>& remote) {
    const data::ConfigTable& config = course.Config();
    const data::ProductRecord& product = course.Product();
    text::MessageFile& common = course.Common();
    remote.reset();
    const std::string& address = config.Get(data::kIPserv);
    if (address == kLocalServer) return true;

    const int port = config.GetInt(data::kIPport);
    remote = make_remote ? make_remote() : nullptr;
    if (!remote) remote = std::make_unique<lesson::ClientRemoteData>(course.Root());
    if (!remote->Connect(address, port, kServerTimeoutMs)) {
        std::fprintf(stderr, "remote data %s:%d: %s\n", address.c_str(), port,
                     remote->LastError().c_str());
        view.ShowErrorBox(product.app_name,
                          common.GetText(data::kTextServerUnreachable, address, port));
        remote.reset();
        return false;
    }

    // The fixed files of the language's learner folder: a fresh machine has no local copies
    // for a wildcard to find. Each pair is taken whole or not at all.
    const std::string folder =
        text::FormatString("%s\\%s\\%s", product.data_dir.c_str(), product.product_name.c_str(),
                           config.Get(data::kLanguage).c_str());
    std::vector<data::UserRecord> carried;
    for (const char* file : {"GROUP", "USERS"}) {
        std::string why;
        if (!FetchPair(*remote, view, common, course.Root(), folder, file, carried, why))
            std::fprintf(stderr, "remote data: %s; the local copy is kept\n", why.c_str());
    }
    // Learners whose progress on this computer is ahead of the server's keep it, and are named.
    std::string names;
    for (const data::UserRecord& u : carried) {
        std::fprintf(stderr, "remote data: %s (group %d, user %d): the local record is newer\n",
                     u.UserName.c_str(), u.GroupNo, u.UserNo);
        names += (names.empty() ? "" : ", ") + u.UserName;
    }
    view.ShowStatus(names.empty() ? std::string() : common.GetText(data::kTextLocalKept, names));
    return true;
}

}  // namespace shell
