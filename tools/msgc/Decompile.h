// Turning a compiled message or conversion file back into the source msgc compiles it from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/MessageWriter.h"

namespace msgc {

struct Decompiled {
    std::string source;  // UTF-8, in the form ParseMessageSource reads
    // What the source cannot carry exactly (a text ending with a line end, a CR, a byte with no
    // character, checksums of no modulus found, header bytes the compiler leaves 0...): the
    // file compiled from the source differs there. Empty: it compiles to the same bytes.
    std::vector<std::string> differences;
};

// The content of a message file's bytes, with the stored checksums (one per text) and what a
// source could not carry of it in differences; false with why when they are no message file.
bool DecodeMessageFile(const std::string& bytes, text::MessageContent& content,
                       std::vector<uint32_t>& checksums, std::vector<std::string>& differences,
                       std::string& why);

// The modulus the stored checksums were made with: the usual one, the seed (lesson step
// files), none; else the smallest one above every stored checksum that fits them all, up to a
// bound. The default modulus with found false when none fits.
uint32_t FindModulus(const std::vector<std::string>& texts, const std::vector<uint32_t>& sums,
                     int32_t seed, bool& found);

// Decompiles the bytes of a message file; false with why when they are no message file (a
// header or table that cannot be read, records out of the file, a cut format block).
bool DecompileMessageFile(const std::string& bytes, const std::string& name, Decompiled& out,
                          std::string& why);

}  // namespace msgc
