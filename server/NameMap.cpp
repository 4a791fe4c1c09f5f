#include "NameMap.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "platform/AsciiCase.h"

namespace server {

static std::string Resolve(const std::string& path) {
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

NameMap::NameMap(const std::string& root) : root_(Resolve(root)) {}

// The entry of folder named like name in any letter case, or name itself.
static std::string MatchCase(const std::string& folder, const std::string& name) {
    struct stat st;
    if (::lstat((folder + "/" + name).c_str(), &st) == 0) return name;
    std::string found = name;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) {
            if (platform::EqualNoCase(e->d_name, name)) {
                found = e->d_name;
                break;
            }
        }
        ::closedir(d);
    }
    return found;
}

bool NameMap::Inside(const std::string& path) const {
    if (root_.empty()) return false;
    std::string probe = path;
    for (;;) {
        struct stat st;
        if (::lstat(probe.c_str(), &st) == 0) break;
        const size_t slash = probe.rfind('/');
        if (slash == std::string::npos || slash == 0) return false;
        probe.erase(slash);
    }
    const std::string real = Resolve(probe);
    return real == root_ || real.compare(0, root_.size() + 1, root_ + "/") == 0;
}

int NameMap::Map(const std::string& remote, std::string& native) const {
    if (root_.empty() || remote.size() <= 3 || remote.compare(0, 3, "?:\\") != 0) return EACCES;
    std::vector<std::string> parts;
    size_t start = 3;
    for (;;) {
        const size_t end = remote.find('\\', start);
        parts.push_back(remote.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    std::string path = root_;
    for (const std::string& p : parts) {
        if (p.empty() || p == "." || p == ".." || p.find('/') != std::string::npos) return EACCES;
        path += "/" + MatchCase(path, p);
    }
    // The engine follows NAME.lnk to another place: such a name is not served.
    struct stat st;
    if (::lstat((path + ".lnk").c_str(), &st) == 0) return EACCES;
    if (!Inside(path)) return EACCES;
    // The folder by its one resolved name: an alias of a folder (a link to it) names the same
    // files, so holds and uploads keyed by path see one file under both names.
    const size_t slash = path.rfind('/');
    if (const std::string folder = Resolve(path.substr(0, slash)); !folder.empty())
        path = folder + path.substr(slash);
    native = path;
    return 0;
}

}  // namespace server
