// Texts are single-byte Windows-1252 inside the player; the windows show them through UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace text {

// Every byte mapped to its Unicode character; the five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value.
std::string Cp1252ToUtf8(std::string_view in);

// A Windows-1252 text as a quoted JSON string in UTF-8 (quotes, backslashes and control
// characters escaped), as the tools print texts.
std::string Cp1252ToJson(std::string_view in);

// Converts UTF-8 to Windows-1252. False when the input is not valid UTF-8 or holds a character
// the code page lacks; bad_pos then receives the byte offset of the first such character.
bool Utf8ToCp1252(std::string_view in, std::string& out, size_t* bad_pos = nullptr);

// Case of a Windows-1252 letter: ASCII, the accented letters 0xC0-0xDE / 0xE0-0xFE (not the
// multiplication and division signs 0xD7, 0xF7), and the pairs 0x8A/0x9A, 0x8C/0x9C, 0x8E/0x9E,
// 0x9F/0xFF. Other bytes are returned as they are.
constexpr char Cp1252Upper(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) return char(u - 32);
    if (u == 0x9A || u == 0x9C || u == 0x9E) return char(u - 16);
    if (u == 0xFF) return char(0x9F);
    return c;
}
constexpr char Cp1252Lower(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) return char(u + 32);
    if (u == 0x8A || u == 0x8C || u == 0x8E) return char(u + 16);
    if (u == 0x9F) return char(0xFF);
    return c;
}

}  // namespace text
