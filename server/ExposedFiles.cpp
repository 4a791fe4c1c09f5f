#include "ExposedFiles.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "platform/AsciiCase.h"

namespace server {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxDepth = 8;  // DATA\<product>\<language> lies three folders down

bool OthersMayPass(const std::string& folder) {
    struct stat st;
    return ::stat(folder.c_str(), &st) == 0 && (st.st_mode & S_IXOTH);
}

// Every folder from "/" down to folder (resolved) lets others pass.
bool ReachableByOthers(const std::string& folder) {
    char buf[PATH_MAX];
    if (!::realpath(folder.c_str(), buf)) return false;
    std::string path = buf;
    for (;;) {
        if (!OthersMayPass(path.empty() ? "/" : path)) return false;
        if (path.empty()) return true;
        path.erase(path.rfind('/'));
    }
}

void Scan(const fs::path& folder, int depth, bool reachable, std::vector<std::string>& found) {
    std::error_code ec;
    std::vector<fs::path> files, folders;
    bool learners = false;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::file_status st = it->symlink_status(ec);
        if (ec) break;
        const std::string name = it->path().filename().string();
        if (fs::is_directory(st)) {
            folders.push_back(it->path());
        } else if (fs::is_regular_file(st)) {
            files.push_back(it->path());
            learners = learners || platform::EqualNoCase(name, "USERS.dat") ||
                       platform::EqualNoCase(name, "GROUP.dat");
        }
    }
    reachable = reachable && OthersMayPass(folder.string());
    if (learners && reachable) {
        for (const fs::path& file : files) {
            // Lock files hold no learner's data.
            const std::string name = file.filename().string();
            if (name.size() > 4 && platform::EqualNoCase(name.substr(name.size() - 4), ".lck"))
                continue;
            struct stat st;
            if (::lstat(file.c_str(), &st) == 0 && (st.st_mode & S_IROTH))
                found.push_back(file.string());
        }
    }
    if (depth < kMaxDepth)
        for (const fs::path& sub : folders) Scan(sub, depth + 1, reachable, found);
}

}  // namespace

std::vector<std::string> ExposedLearnerFiles(const std::string& root, size_t limit, size_t& total) {
    std::vector<std::string> found;
    Scan(fs::path(root), 0, ReachableByOthers(root), found);
    std::sort(found.begin(), found.end());
    total = found.size();
    if (found.size() > limit) found.resize(limit);
    return found;
}

}  // namespace server
