#include "LogText.h"

#include <cstdio>

#include "text/Codepage.h"

namespace server {
namespace {

bool IsControl(unsigned char b) {
    return b < 0x20 || b == 0x7F;
}

// in with the runs of plain characters passed through convert and every other byte shown as
// \xNN. unit(in, i) is the length of the plain character at i, 0 for a byte to show so.
template <class Unit, class Convert>
std::string Escaped(std::string_view in, Unit unit, Convert convert) {
    std::string out;
    out.reserve(in.size());
    size_t plain = 0;  // start of the run not yet passed on
    size_t i = 0;
    while (i < in.size()) {
        if (const size_t n = unit(in, i)) {
            i += n;
            continue;
        }
        out += convert(in.substr(plain, i - plain));
        char code[5];
        std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned char>(in[i]));
        out += code;
        plain = ++i;
    }
    out += convert(in.substr(plain));
    return out;
}

// The length of the well-formed UTF-8 character at in[i] that is no control, or 0.
size_t Utf8Unit(std::string_view in, size_t i) {
    const auto at = [&](size_t k) { return static_cast<unsigned char>(in[k]); };
    const unsigned char b = at(i);
    if (b < 0x80) return IsControl(b) ? 0 : 1;
    size_t n = 0;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        if (b == 0xE0) low = 0xA0;
        if (b == 0xED) high = 0x9F;  // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        if (b == 0xF0) low = 0x90;
        if (b == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + n > in.size() || at(i + 1) < low || at(i + 1) > high) return 0;
    for (size_t k = 2; k < n; ++k)
        if (at(i + k) < 0x80 || at(i + k) > 0xBF) return 0;
    if (b == 0xC2 && at(i + 1) < 0xA0) return 0;  // a C1 control
    return n;
}

}  // namespace

std::string LogText(std::string_view cp1252) {
    // The five bytes the code page leaves undefined stand for C1 controls.
    return Escaped(
        cp1252,
        [](std::string_view in, size_t i) -> size_t {
            const auto b = static_cast<unsigned char>(in[i]);
            return IsControl(b) || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D
                       ? 0
                       : 1;
        },
        [](std::string_view run) { return text::Cp1252ToUtf8(run); });
}

std::string LogPath(std::string_view path) {
    return Escaped(path, Utf8Unit, [](std::string_view run) { return std::string(run); });
}

}  // namespace server
