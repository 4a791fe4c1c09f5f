#include "LogText.h"

#include <cstdio>

#include "text/Codepage.h"

namespace server {
namespace {

bool IsControl(unsigned char b) {
    return b < 0x20 || b == 0x7F;
}

// in with each byte for which escape is true shown as \xNN and the runs between passed
// through convert.
template <class Escape, class Convert>
std::string Escaped(std::string_view in, Escape escape, Convert convert) {
    std::string out;
    out.reserve(in.size());
    size_t plain = 0;  // start of the run not yet passed on
    for (size_t i = 0; i <= in.size(); ++i) {
        if (i < in.size() && !escape(static_cast<unsigned char>(in[i]))) continue;
        out += convert(in.substr(plain, i - plain));
        if (i == in.size()) break;
        char code[5];
        std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned char>(in[i]));
        out += code;
        plain = i + 1;
    }
    return out;
}

}  // namespace

std::string LogText(std::string_view cp1252) {
    // The five bytes the code page leaves undefined stand for C1 controls.
    return Escaped(
        cp1252,
        [](unsigned char b) {
            return IsControl(b) || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
        },
        [](std::string_view run) { return text::Cp1252ToUtf8(run); });
}

std::string LogPath(std::string_view path) {
    return Escaped(path, IsControl, [](std::string_view run) { return std::string(run); });
}

}  // namespace server
