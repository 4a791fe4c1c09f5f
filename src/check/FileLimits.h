// What the checker reads from a course file is bounded: each file is looked at (without
// following it into a FIFO or device) before it is read, and refused when it is no regular
// file or larger than its kind may be.
#pragma once

#include <cstdint>
#include <string>

namespace check {

// Size caps by kind of file.
inline constexpr uint64_t kSettingsCap = 1u << 20;  // INI, catalogue, level tables
inline constexpr uint64_t kMessageCap = 16u << 20;  // message and conversion files
inline constexpr uint64_t kScriptCap = 16u << 20;   // what the player loads at most

struct FileLook {
    enum Kind { kMissing, kRegular, kFolder, kOther } kind = kMissing;
    uint64_t size = 0;
    std::string what;  // for kOther: "a FIFO", "a device", "a socket"
};

// What stands at native_path, following links.
FileLook LookAt(const std::string& native_path);

// Reads at most cap bytes of the regular file at native_path into out, opened without blocking;
// false with the reason in why (not regular, larger than cap, or the system's error).
bool ReadBounded(const std::string& native_path, uint64_t cap, std::string& out, std::string& why);

}  // namespace check
