// Reading a whole regular file into memory, as the tools read their sources.
#pragma once

#include <string>

namespace platform {

// Reads the regular file at path into out; false with the reason in why. Folders, FIFOs and
// devices are refused without waiting on them.
bool ReadWholeFile(const std::string& path, std::string& out, std::string& why);
// The same for callers that report by number: 0, or the C library's error number, EISDIR for a
// folder, kErrorNotRegularFile for a FIFO, socket or device (path native).
int ReadRegularFile(const std::string& path, std::string& out);

}  // namespace platform
