// printf-style formatting into a string of whatever length the result needs.
#pragma once

#include <cstdarg>
#include <string>

namespace text {

std::string FormatString(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatStringV(const char* format, va_list args);

}  // namespace text
