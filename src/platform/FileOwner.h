// Files that a program run as root makes beside the learners' records (lock files, temporaries,
// replacements, new folders) are given to the account that owns those records, so that the data
// server, which runs as that account, can still open, lock and replace them.
#pragma once

#include <string>

namespace platform {

// When the process runs as root and `like` (the neighbouring data file, or the folder the new
// one was made in) belongs to another account: gives the file or folder open on fd the owner
// and group of `like`, and its permission bits: a neighbouring file's (set-id bits aside), or,
// beside a folder, its own bits without any for other accounts. Does nothing otherwise (nor
// when `like` does not exist). False, with errno, when the change is refused.
bool ShareOwner(int fd, const std::string& like);

// The same for the file or folder at path (a symbolic link is not followed).
bool ShareOwner(const std::string& path, const std::string& like);

// The folder part of a native path ("." for a bare name).
std::string FolderOf(const std::string& path);

}  // namespace platform
