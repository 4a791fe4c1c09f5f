#include "platform/Path.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/AsciiCase.h"

namespace platform {
namespace {

constexpr long kIso9660Magic = 0x9660;
constexpr long kUdfMagic = 0x15013346;

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// Removes "." components and folds "name/.." away, as the system the courses come from does
// before it touches the disk; leading ".." of a relative path stay.
std::string CollapseDots(const std::string& path) {
    if (path.find('.') == std::string::npos) return path;
    const bool absolute = !path.empty() && path[0] == '/';
    const bool trailing = path.size() > 1 && path.back() == '/';
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t slash = path.find('/', pos);
        if (slash == std::string::npos) slash = path.size();
        std::string comp = path.substr(pos, slash - pos);
        pos = slash + 1;
        if (comp.empty() || comp == ".") continue;
        if (comp == "..") {
            if (!parts.empty() && parts.back() != "..") {
                parts.pop_back();
                continue;
            }
            if (absolute) continue;  // "/.." is "/"
        }
        parts.push_back(comp);
    }
    std::string out = absolute ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += '/';
        out += parts[i];
    }
    if (out.empty()) return absolute ? "/" : ".";
    if (trailing && out.back() != '/') out += '/';
    return out;
}

// Backslashes to '/', drive prefix dropped, runs of '/' collapsed, dots folded.
std::string Normalise(std::string_view path) {
    if (path.size() >= 2 && path[1] == ':' &&
        (std::isalpha(static_cast<unsigned char>(path[0])) || path[0] == '?')) {
        path.remove_prefix(2);
    }
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        if (c == '\\') c = '/';
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out.push_back(c);
    }
    return CollapseDots(out);
}

// The entry of folder whose name equals name ignoring case; empty when there is none.
std::string FindCaseInsensitive(const std::string& folder, const std::string& name) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return {};
    std::string best;
    while (dirent* e = readdir(dir)) {
        if (EqualNoCase(e->d_name, name)) {
            // Several spellings may coexist; take the smallest so the choice is stable.
            if (best.empty() || best > e->d_name) best = e->d_name;
        }
    }
    closedir(dir);
    return best;
}

bool MatchFrom(std::string_view p, std::string_view s) {
    size_t pi = 0, si = 0, star = std::string_view::npos, mark = 0;
    while (si < s.size()) {
        if (pi < p.size() && (p[pi] == '?' || LowerAscii(p[pi]) == LowerAscii(s[si]))) {
            ++pi;
            ++si;
        } else if (pi < p.size() && p[pi] == '*') {
            star = pi++;
            mark = si;
        } else if (star != std::string_view::npos) {
            pi = star + 1;
            si = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

}  // namespace

std::string NativePath(std::string_view path) {
    std::string norm = Normalise(path);
    if (norm.empty() || Exists(norm)) return norm;

    std::string out;
    size_t pos = 0;
    if (norm[0] == '/') {
        out = "/";
        pos = 1;
    }
    bool resolving = true;
    while (pos <= norm.size()) {
        size_t slash = norm.find('/', pos);
        if (slash == std::string::npos) slash = norm.size();
        std::string comp = norm.substr(pos, slash - pos);
        if (!comp.empty()) {
            std::string folder = out;
            if (resolving && comp != "." && comp != ".." && !Exists(out + comp)) {
                std::string match = FindCaseInsensitive(folder, comp);
                if (match.empty()) {
                    resolving = false;  // nothing below a missing component can exist
                } else {
                    comp = match;
                }
            }
            out += comp;
        }
        if (slash < norm.size()) out += '/';
        pos = slash + 1;
    }
    return out;
}

std::string AbsoluteProgramPath(const char* argv0) {
    std::string arg = argv0 ? argv0 : "";
    if (arg.empty()) return {};
    std::string abs;
    if (arg[0] == '/') {
        abs = arg;
    } else if (arg.find('/') == std::string::npos && std::getenv("PATH")) {
        // Started through PATH: the first folder of PATH holding the program.
        std::string paths = std::getenv("PATH");
        size_t pos = 0;
        while (pos <= paths.size() && abs.empty()) {
            size_t colon = paths.find(':', pos);
            if (colon == std::string::npos) colon = paths.size();
            std::string dir = paths.substr(pos, colon - pos);
            if (dir.empty()) dir.assign(1, '.');
            std::string candidate = dir + "/" + arg;
            if (access(candidate.c_str(), X_OK) == 0) abs = candidate;
            pos = colon + 1;
        }
    }
    if (abs.empty() || abs[0] != '/') {
        std::string rel = abs.empty() ? arg : abs;
        char* cwd = getcwd(nullptr, 0);
        abs = std::string(cwd ? cwd : "") + "/" + rel;
        std::free(cwd);
    }
    // Lexical clean-up of "." components; symbolic links stay as they are.
    std::string clean;
    size_t pos = 0;
    while (pos < abs.size()) {
        size_t slash = abs.find('/', pos);
        if (slash == std::string::npos) slash = abs.size();
        std::string_view comp(abs.data() + pos, slash - pos);
        if (!comp.empty() && comp != ".") {
            clean += '/';
            clean += comp;
        }
        pos = slash + 1;
    }
    return clean.empty() ? "/" : clean;
}

std::string NativePathIn(std::string_view root, std::string_view path) {
    std::string_view rest = path;
    if (rest.size() >= 2 && rest[1] == ':') rest.remove_prefix(2);
    const bool absolute = !rest.empty() && (rest[0] == '\\' || rest[0] == '/');
    if (absolute || root.empty()) return NativePath(path);
    std::string joined(root);
    if (joined.back() != '/') joined += '/';
    joined += rest;
    return NativePath(joined);
}

std::string IniPathFor(std::string_view program_path) {
    std::string path(program_path);
    size_t name_start = path.find_last_of("/\\");
    name_start = name_start == std::string::npos ? 0 : name_start + 1;
    size_t dot = path.rfind('.');
    if (dot != std::string::npos && dot > name_start) path.erase(dot);
    return path + ".INI";
}

bool IsRemovableMedia(std::string_view path) {
    std::string p = NativePath(path);
    if (p.empty()) p.assign(1, '.');
    // Walk up to something that exists: the file may not have been created yet.
    while (!Exists(p)) {
        size_t slash = p.find_last_of('/');
        if (slash == std::string::npos) {
            p.assign(1, '.');
            break;
        }
        p.resize(slash == 0 ? 1 : slash);
    }
    struct statvfs vfs;
    if (statvfs(p.c_str(), &vfs) == 0 && (vfs.f_flag & ST_RDONLY)) return true;
    struct statfs fs;
    if (statfs(p.c_str(), &fs) == 0) {
        long type = static_cast<long>(fs.f_type);
        if (type == kIso9660Magic || type == kUdfMagic) return true;
    }
    return false;
}

std::string SystemErrorText(int code) {
    char buf[256];
    // The last error is always the library's text: its numbers overlap the fixed codes.
    if (code < 0) return strerror_r(errno, buf, sizeof buf);
    switch (code) {
        case kErrorFileNotFound:
            return "File not found";
        case kErrorInvalidData:
            return "Invalid data";
        case kErrorBadCatalogue:
            return "Malformed catalogue";
        case kErrorNotRegularFile:
            return "Not a regular file";
        case kErrorOutsideCourse:
            return "The setting leads out of the course folder";
        default:
            break;
    }
    return strerror_r(code, buf, sizeof buf);
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
    if (MatchFrom(pattern, name)) return true;
    // As on the system the courses come from, "X.*" also matches a name without a dot.
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos) {
        return MatchFrom(pattern.substr(0, pattern.size() - 2), name);
    }
    return false;
}

std::vector<std::string> FindEntries(std::string_view pattern) {
    std::string norm = Normalise(pattern);
    size_t slash = norm.find_last_of('/');
    std::string folder, mask;
    if (slash == std::string::npos) {
        folder = ".";
        mask = norm;
    } else {
        folder = slash == 0 ? "/" : NativePath(norm.substr(0, slash));
        mask = norm.substr(slash + 1);
    }
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (dirent* e = readdir(dir)) {
        std::string_view name = e->d_name;
        if (name == "." || name == "..") continue;
        if (WildcardMatch(mask, name)) names.emplace_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool CreateFolders(std::string_view dir) {
    std::string p = NativePath(dir);
    if (p.empty()) return false;
    for (size_t pos = 1; pos <= p.size(); ++pos) {
        if (pos == p.size() || p[pos] == '/') {
            std::string prefix = p.substr(0, pos);
            if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return false;
        }
    }
    return DirectoryExists(p);
}

bool FileExists(std::string_view path) {
    struct stat st;
    return stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(std::string_view path) {
    struct stat st;
    return stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

// Characters that end a path inside a message: blanks, quotes, list and bracket marks, and a
// colon that is not a drive's.
bool EndsPathWord(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '"' || c == '\'' || c == ',' ||
           c == ';' || c == '(' || c == ')' || c == '[' || c == ']' || c == ':';
}

std::string PathForPeople(std::string_view word, std::string_view root) {
    bool relative = true;
    if (word.size() >= 2 && word[1] == ':') {
        // A drive's root is the course folder (the server's data folder for "?:").
        word.remove_prefix(2);
        while (!word.empty() && word[0] == '\\') word.remove_prefix(1);
    } else if (!word.empty() && (word[0] == '\\' || word[0] == '/')) {
        relative = false;
    }
    while (word.size() >= 2 && word[0] == '.' && word[1] == '\\') word.remove_prefix(2);
    std::string path(word);
    for (char& c : path)
        if (c == '\\') c = '/';
    if (relative && !root.empty()) {
        std::string full(root);
        if (full.back() != '/') full += '/';
        path.insert(0, full);
    }
    return path;
}

}  // namespace

std::string PathsForPeople(std::string_view text, std::string_view root) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        // A word: up to the next character that ends a path, keeping a drive's colon.
        size_t end = i;
        if (i + 1 < text.size() && text[i + 1] == ':' && i + 2 < text.size() &&
            text[i + 2] == '\\' &&
            (text[i] == '?' || std::isalpha(static_cast<unsigned char>(text[i]))))
            end = i + 2;
        while (end < text.size() && !EndsPathWord(text[end])) ++end;
        if (end == i) {
            out += text[i++];
            continue;
        }
        const std::string_view word = text.substr(i, end - i);
        // A setting as it was typed ("Directory=..\\X") is the person's own text.
        const bool path =
            word.find('\\') != std::string_view::npos && word.find('=') == std::string_view::npos;
        out += path ? PathForPeople(word, root) : std::string(word);
        i = end;
    }
    return out;
}

}  // namespace platform
