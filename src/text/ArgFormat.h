// Formats one typed argument by one printf conversion specification taken from a message file.
// The conversion is checked and rebuilt before use, so no file can make it read an argument
// of another type, write through %n or ask for an unbounded width.
#pragma once

#include <string>
#include <string_view>

#include "text/TextArg.h"

namespace text {

// Longest string argument inserted; longer ones are cut and inserted without formatting.
constexpr size_t kMaxStringArgument = 80;
// Widths and precisions above this are reduced to it.
constexpr int kMaxFieldWidth = 512;

// spec is one conversion such as "%d", "%-5s", "%02.1lf" or "%lX"; its last character picks
// the type: c a character; d i o x X an integer (D I O as well); u unsigned; e f g a
// single-precision real ("l" before it: double); E G a double; anything else a string. Integers
// are 32-bit unless "ll" asks for 64. A malformed conversion formats as "%s".
std::string FormatArgument(std::string_view spec, const TextArg& arg);

}  // namespace text
