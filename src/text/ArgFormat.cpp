#include "text/ArgFormat.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "text/FormatString.h"

namespace text {
namespace {

struct Spec {
    std::string flags;  // each of "-+ #0" at most once
    int width = -1;
    int precision = -1;
    std::string length;  // "", "h", "hh", "l", "ll", "L", ...
    char conversion = 's';
    bool valid = false;
};

int ReadNumber(std::string_view s, size_t& i) {
    long value = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        if (value <= kMaxFieldWidth) value = value * 10 + (s[i] - '0');
        ++i;
    }
    return static_cast<int>(value > kMaxFieldWidth ? kMaxFieldWidth : value);
}

Spec Parse(std::string_view s) {
    Spec spec;
    if (s.size() < 2 || s[0] != '%') return spec;
    spec.conversion = s.back();
    size_t i = 1;
    const size_t end = s.size() - 1;  // the conversion letter
    while (i < end && std::strchr("-+ #0", s[i])) {
        if (spec.flags.find(s[i]) == std::string::npos) spec.flags.push_back(s[i]);
        ++i;
    }
    if (i < end && s[i] >= '1' && s[i] <= '9') spec.width = ReadNumber(s, i);
    if (i < end && s[i] == '.') {
        ++i;
        spec.precision = ReadNumber(s, i);
    }
    while (i < end && std::strchr("hlLqjzt", s[i])) spec.length.push_back(s[i++]);
    if (i + 3 <= end && s.substr(i, 3) == "I64") {
        spec.length = "ll";
        i += 3;
    }
    spec.valid = i == end && spec.length.size() <= 2;
    return spec;
}

// The rebuilt conversion: allowed flags, width, precision, then the given tail.
std::string Build(const Spec& spec, std::string_view allowed_flags, bool precision,
                  const char* tail) {
    std::string out = "%";
    for (char f : spec.flags) {
        if (allowed_flags.find(f) != std::string_view::npos) out.push_back(f);
    }
    if (spec.width >= 0) out += std::to_string(spec.width);
    if (precision && spec.precision >= 0) {
        out.push_back('.');
        out += std::to_string(spec.precision);
    }
    out += tail;
    return out;
}

std::string FormatString(const std::string& s, const Spec& spec) {
    if (s.size() > kMaxStringArgument) return s.substr(0, kMaxStringArgument);
    return text::FormatString(Build(spec, "-", true, "s").c_str(), s.c_str());
}

}  // namespace

std::string FormatArgument(std::string_view spec_text, const TextArg& arg) {
    Spec spec = Parse(spec_text);
    if (!spec.valid) {
        spec = Spec();
        spec.conversion = 's';
    }
    const bool wide = spec.length == "ll" || spec.length == "q" || spec.length == "j";
    const bool has_l = spec.length.find('l') != std::string::npos || spec.length == "L";
    switch (spec.conversion) {
        case 'c': {
            char c = arg.Character();
            // A NUL character would end the text early; it inserts nothing instead.
            if (c == '\0') return text::FormatString(Build(spec, "-", false, "s").c_str(), "");
            return text::FormatString(Build(spec, "-", false, "c").c_str(),
                                      static_cast<int>(static_cast<unsigned char>(c)));
        }
        case 'd':
        case 'i':
        case 'D':
        case 'I': {
            long long v = arg.Integer();
            if (!wide) v = static_cast<int32_t>(static_cast<uint32_t>(v));
            return text::FormatString(Build(spec, "-+ 0", true, "lld").c_str(), v);
        }
        case 'o':
        case 'O':
        case 'x':
        case 'X':
        case 'u': {
            unsigned long long v = static_cast<unsigned long long>(arg.Integer());
            if (!wide) v = static_cast<uint32_t>(v);
            const char* tail = spec.conversion == 'x'   ? "llx"
                               : spec.conversion == 'X' ? "llX"
                               : spec.conversion == 'u' ? "llu"
                                                        : "llo";
            return text::FormatString(Build(spec, "-#0", true, tail).c_str(), v);
        }
        case 'e':
        case 'f':
        case 'g':
        case 'E':
        case 'G': {
            double v = arg.Real();
            // Without "l" the value is a single-precision real.
            if (!has_l &&
                (spec.conversion == 'e' || spec.conversion == 'f' || spec.conversion == 'g')) {
                if (std::isfinite(v) && std::fabs(v) <= FLT_MAX) v = static_cast<float>(v);
            }
            const char tail[2] = {spec.conversion, '\0'};
            return text::FormatString(Build(spec, "-+ #0", true, tail).c_str(), v);
        }
        default:
            return FormatString(arg.String(), spec);
    }
}

}  // namespace text
