// Compiled message files written byte by byte, apart from the player's own encoder, so that
// the tests of the readers do not rest on it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace support {

// One text of a message file with its argument format entry ("%s %d" or "").
struct MessageText {
    std::string text;
    std::string format;
};

// Writes a plain (unscrambled) compiled message file with checksums for modulus 1009.
void WriteMessageFile(const std::filesystem::path& path, const std::vector<MessageText>& texts);

}  // namespace support
