// Rewriting a whole file so that a failure never leaves it cut short: the new bytes go to a
// temporary file in the same folder, which is flushed to disk and then renamed over the old one.
#pragma once

#include <string_view>

namespace platform {

// Replaces the contents of path (either path form) with bytes. A file that does not exist yet
// is created. On failure (full disk, no permission, missing folder) the old file is left as it
// was, no temporary file remains, errno says why and the result is false. A symbolic link is
// followed: its target is replaced. An existing file keeps its permission bits.
bool ReplaceFile(std::string_view path, std::string_view bytes);

}  // namespace platform
