#include "text/Codepage.h"

#include <cstdint>
#include <cstdio>

namespace text {
namespace {

// Unicode of the bytes 0x80 to 0x9F; the rest of the code page equals Latin-1.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

int ToCp1252(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == cp) return 0x80 + i;
    }
    return -1;
}

}  // namespace

std::string Cp1252ToJson(std::string_view in) {
    std::string out = "\"";
    for (unsigned char c : Cp1252ToUtf8(in)) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out + "\"";
}

std::string Cp1252ToUtf8(std::string_view in) {
    std::string out;
    out.reserve(in.size() + in.size() / 4);
    for (char ch : in) {
        auto b = static_cast<unsigned char>(ch);
        AppendUtf8(out, b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b);
    }
    return out;
}

bool Utf8ToCp1252(std::string_view in, std::string& out, size_t* bad_pos) {
    out.clear();
    out.reserve(in.size());
    size_t i = 0;
    while (i < in.size()) {
        auto b = static_cast<unsigned char>(in[i]);
        uint32_t cp;
        size_t len;
        if (b < 0x80) {
            cp = b;
            len = 1;
        } else if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1F;
            len = 2;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0F;
            len = 3;
        } else if ((b & 0xF8) == 0xF0) {
            cp = b & 0x07;
            len = 4;
        } else {
            if (bad_pos) *bad_pos = i;
            return false;
        }
        if (i + len > in.size()) {
            if (bad_pos) *bad_pos = i;
            return false;
        }
        for (size_t k = 1; k < len; ++k) {
            auto c = static_cast<unsigned char>(in[i + k]);
            if ((c & 0xC0) != 0x80) {
                if (bad_pos) *bad_pos = i;
                return false;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        int byte = ToCp1252(cp);
        // Overlong forms of ASCII are rejected as well.
        if (byte < 0 || (len > 1 && cp < 0x80)) {
            if (bad_pos) *bad_pos = i;
            return false;
        }
        out.push_back(static_cast<char>(byte));
        i += len;
    }
    return true;
}

}  // namespace text
