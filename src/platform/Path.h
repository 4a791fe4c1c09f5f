// Paths as the courseware writes them ("MSG\\FR\\COMMON.MSG", "?:\\COURSE") mapped onto the
// native file system, plus the few file-system services the player needs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Backslashes become '/', a drive prefix "X:" is dropped, "." and "name/.." are folded away
// lexically (as on the system the courses come from), and a component not found as written
// is matched case-insensitively in its folder (course files arrive in any case). Components that
// do not exist at all are kept as written, so the result can name a file still to be created.
std::string NativePath(std::string_view path);

// A courseware path resolved inside the folder root (a native path): a relative path is taken
// from root, an absolute one ("\\X", "C:\\X", "?:\\X", "/x") stands as NativePath makes it.
std::string NativePathIn(std::string_view root, std::string_view path);

// A message for people with every courseware path in it ("?:\\DATA\\USERS", ".\\PRODUCT.DAT",
// "MSG\\GB\\X.MSG": a word holding a backslash) written as a Linux path: the drive prefix and
// a leading ".\\" dropped, '/' for '\\'. A relative path stays relative to the course folder,
// or is completed from root when root is given; the rest of the text is kept as it is.
std::string PathsForPeople(std::string_view text, std::string_view root = {});

// argv[0] made absolute (against the current folder, or through PATH for a bare name), without
// resolving symbolic links; "" for an empty argv[0].
std::string AbsoluteProgramPath(const char* argv0);

// The file name's extension (only the file name's) replaced by ".INI", or ".INI" appended.
std::string IniPathFor(std::string_view program_path);

// True when the file system holding path is mounted read-only or is iso9660/udf.
bool IsRemovableMedia(std::string_view path);

// Fixed system error codes the player passes itself.
constexpr int kErrorFileNotFound = 2;
constexpr int kErrorInvalidData = 13;
constexpr int kErrorBadCatalogue = 19;
// A folder, FIFO or device where a file was expected (beyond the C library's numbers).
constexpr int kErrorNotRegularFile = 1000;
// A setting whose value would lead a path out of the course folder.
constexpr int kErrorOutsideCourse = 1001;

// code < 0: the text of the current errno; 2, 13, 19: fixed texts; any other: strerror(code).
std::string SystemErrorText(int code);

// Wildcard search such as "MSG\\*.*": the names (not paths) in the pattern's folder that match
// its last component, case-insensitively, sorted; "." and ".." are left out. "*.*" matches every
// name, including names without a dot.
std::vector<std::string> FindEntries(std::string_view pattern);

// True when name matches the wildcard pattern ('*' any run, '?' one character), ignoring case.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// Creates every missing folder of dir (either path form); true when dir exists afterwards.
bool CreateFolders(std::string_view dir);

bool FileExists(std::string_view path);       // a regular file (either path form)
bool DirectoryExists(std::string_view path);  // a folder (either path form)

}  // namespace platform
