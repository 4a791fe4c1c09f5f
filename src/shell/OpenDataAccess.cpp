#include "shell/OpenDataAccess.h"

#include <cerrno>
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
// For USERS, a learner whose local record is newer keeps it (listed in carried). A failure,
// named after the file, leaves the local files as they were.
platform::Status FetchPair(lesson::RemoteData& remote, StartupView& view, text::MessageFile& common,
                           const std::string& root, const std::string& folder, const char* file,
                           std::vector<data::UserRecord>& carried) {
    const std::string course_base = folder + "\\" + file;
    const std::string local = platform::NativePathIn(root, course_base);
    const size_t slash = local.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : local.substr(0, slash);
    platform::CreateFolders(dir);
    // A name of its own, so that an interrupted fetch is never taken for the learners' files.
    const std::string fetched = dir + "/fetched-" + file;
    RemovePair(fetched);
    auto fail = [&](platform::Status why) {
        RemovePair(fetched);
        return why;
    };
    for (const char* ext : {".dat", ".idx"}) {
        view.ShowStatus(common.GetText(data::kTextFetching, std::string(file) + ext));
        if (!remote.FetchFile(course_base + ext, fetched + ext))
            return fail({EIO, std::string(file) + ext, remote.LastError()});
    }
    std::vector<std::string> problems;
    if (!isam::CheckFiles(fetched.c_str(), &problems))
        return fail({platform::kErrorInvalidData, file,
                     "the server's copy is damaged" +
                         (problems.empty() ? std::string() : " (" + problems.front() + ")")});
    if (std::string(file) == "USERS") {
        if (const platform::Status carry = data::CarryNewerUsers(local, fetched, carried); !carry)
            return fail({carry.code(), file,
                         "cannot compare with the local records (error " +
                             std::to_string(carry.code()) + ")"});
    }
    // The index first: a data file never stands beside an index of another copy for longer
    // than the two renames.
    for (const char* ext : {".idx", ".dat"}) {
        if (std::rename((fetched + ext).c_str(), (local + ext).c_str()) != 0)
            return fail(platform::Status::FromErrno(std::string(file) + ext));
    }
    RemovePair(fetched);
    return {};
}

}  // namespace

platform::Status OpenDataAccess(data::Course& course, StartupView& view,
                                const lesson::RemoteDataFactory& make_remote,
                                DataOpening& opening) {
    const data::ConfigTable& config = course.Config();
    const data::ProductRecord& product = course.Product();
    opening = DataOpening{};
    const std::string& address = config.Get(data::kIPserv);
    if (address == kLocalServer) return {};

    const int port = config.GetInt(data::kIPport);
    std::unique_ptr<lesson::RemoteData> remote = make_remote ? make_remote() : nullptr;
    if (!remote) remote = std::make_unique<lesson::ClientRemoteData>(course.Root());
    if (!remote->Connect(address, port, kServerTimeoutMs))
        return {ENOTCONN, address + ":" + std::to_string(port), remote->LastError()};

    // The fixed files of the language's learner folder: a fresh machine has no local copies
    // for a wildcard to find. Each pair is taken whole or not at all.
    const std::string folder =
        text::FormatString("%s\\%s\\%s", product.data_dir.c_str(), product.product_name.c_str(),
                           config.Get(data::kLanguage).c_str());
    for (const char* file : {"GROUP", "USERS"}) {
        if (platform::Status fetched = FetchPair(*remote, view, course.Common(), course.Root(),
                                                 folder, file, opening.newer_local);
            !fetched)
            opening.kept_local.push_back(std::move(fetched));
    }
    opening.remote = std::move(remote);
    return {};
}

void ReportDataOpening(const platform::Status& status, const DataOpening& opening,
                       data::Course& course, StartupView& view) {
    const data::ConfigTable& config = course.Config();
    if (!status) {
        std::fprintf(stderr, "remote data %s\n", status.Text().c_str());
        view.ShowErrorBox(course.Product().app_name,
                          course.CommonText(data::kTextServerUnreachable, config.Get(data::kIPserv),
                                            config.GetInt(data::kIPport)));
        return;
    }
    for (const platform::Status& kept : opening.kept_local)
        std::fprintf(stderr, "remote data: %s; the local copy is kept\n", kept.Text().c_str());
    // Learners whose progress on this computer is ahead of the server's keep it, and are named.
    std::string names;
    for (const data::UserRecord& u : opening.newer_local) {
        std::fprintf(stderr, "remote data: %s (group %d, user %d): the local record is newer\n",
                     u.UserName.c_str(), u.GroupNo, u.UserNo);
        names += (names.empty() ? "" : ", ") + u.UserName;
    }
    if (opening.remote)
        view.ShowStatus(names.empty() ? std::string()
                                      : course.CommonText(data::kTextLocalKept, names));
}

}  // namespace shell
