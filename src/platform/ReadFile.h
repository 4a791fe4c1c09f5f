// Reading a whole regular file into memory, as the tools read their sources.
#pragma once

#include <string>

namespace platform {

// Reads the regular file at path into out; false with the reason in why. Folders, FIFOs and
// devices are refused without waiting on them.
bool ReadWholeFile(const std::string& path, std::string& out, std::string& why);

}  // namespace platform
