#include "platform/ReplaceFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/FileOwner.h"
#include "platform/Path.h"

namespace platform {
namespace {

// The part of the file's name a temporary name carries, so that it stays within NAME_MAX.
constexpr size_t kMaxNamePart = 200;
constexpr const char* kSuffix = ".replace";

// Writes all of bytes, retrying short writes and interruptions.
bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// The file a rename must replace: the target of a symbolic link, else the path itself.
std::string FinalTarget(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr) return path;
    return resolved;
}

}  // namespace

bool ReplaceFile(std::string_view path, std::string_view bytes) {
    const std::string target = FinalTarget(NativePath(path));
    if (target.empty()) {
        errno = ENOENT;
        return false;
    }
    struct stat old;
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed && S_ISDIR(old.st_mode)) {
        errno = EISDIR;
        return false;
    }

    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    // Hidden and named after the file, so that a leftover can be told apart and removed.
    std::string temp = (slash == std::string::npos ? std::string() : folder) + "." +
                       target.substr(slash == std::string::npos ? 0 : slash + 1, kMaxNamePart) +
                       ".replaceXXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;

    int error = 0;
    if (!WriteAll(fd, bytes)) error = errno;
    // mkstemp creates 0600; the new file keeps the old one's bits, a new file gets the usual ones.
    if (error == 0) {
        mode_t mode = 0666;
        if (existed) {
            mode = old.st_mode & 07777;
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode &= ~mask;
        }
        if (::fchmod(fd, mode) != 0) error = errno;
    }
    // Run as root, the new file goes to the owner of the old one (or of the folder), so that
    // the account that keeps these files can still write them.
    if (error == 0 && !ShareOwner(fd, existed ? target : FolderOf(target))) error = errno;
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        errno = error;
        return false;
    }
    // The rename itself reaches the disk with the folder's entry.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

int RemoveReplaceLeftovers(std::string_view path) {
    const std::string target = FinalTarget(NativePath(path));
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash);
    const std::string mine =
        "." + target.substr(slash == std::string::npos ? 0 : slash + 1, kMaxNamePart) + kSuffix;
    const std::string unnamed = kSuffix;  // older versions named no file
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return 0;
    const time_t old = ::time(nullptr) - 3600;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        // The suffix is followed by mkstemp's six characters.
        const bool own = name.size() == mine.size() + 6 && name.compare(0, mine.size(), mine) == 0;
        const bool legacy =
            name.size() == unnamed.size() + 6 && name.compare(0, unnamed.size(), unnamed) == 0;
        if (!own && !legacy) continue;
        const std::string full = folder + "/" + name;
        struct stat st;
        if (::lstat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (legacy && st.st_mtime > old) continue;
        if (::unlink(full.c_str()) == 0) ++removed;
    }
    ::closedir(dir);
    return removed;
}

}  // namespace platform
