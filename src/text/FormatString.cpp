#include "text/FormatString.h"

#include <cstdio>

namespace text {

std::string FormatStringV(const char* format, va_list args) {
    if (!format) return {};
    // Measure first, then format into a buffer of exactly that size.
    va_list measure;
    va_copy(measure, args);
    int needed = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (needed <= 0) return {};
    std::string out(static_cast<size_t>(needed) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(needed));
    return out;
}

std::string FormatString(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = FormatStringV(format, args);
    va_end(args);
    return out;
}

}  // namespace text
