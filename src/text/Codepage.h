// Texts are single-byte Windows-1252 inside the player; the windows show them through UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace text {

// Every byte mapped to its Unicode character; the five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value.
std::string Cp1252ToUtf8(std::string_view in);

// Converts UTF-8 to Windows-1252. False when the input is not valid UTF-8 or holds a character
// the code page lacks; bad_pos then receives the byte offset of the first such character.
bool Utf8ToCp1252(std::string_view in, std::string& out, size_t* bad_pos = nullptr);

}  // namespace text
