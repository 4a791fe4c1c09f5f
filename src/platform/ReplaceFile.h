// Rewriting a whole file so that a failure never leaves it cut short: the new bytes go to a
// temporary file in the same folder, which is flushed to disk and then renamed over the old one.
#pragma once

#include <string_view>

namespace platform {

// Replaces the contents of path (either path form) with bytes. A file that does not exist yet
// is created. On failure (full disk, no permission, missing folder) the old file is left as it
// was, no temporary file remains, errno says why and the result is false. A symbolic link is
// followed: its target is replaced. An existing file keeps its permission bits (and, run as
// root, its owner and group; a new one takes the folder's, see ShareOwner).
bool ReplaceFile(std::string_view path, std::string_view bytes);

// Removes the temporary files that replacements of path (either form) killed half-way left in
// its folder, and unnamed ones of older versions that are more than an hour old. Returns how
// many were removed.
int RemoveReplaceLeftovers(std::string_view path);

}  // namespace platform
