// Reading the codes inside a message text without expanding them: includes, conversions and
// argument numbers, and the argument kinds of a format entry.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace check {

struct TextCode {
    enum Kind { kInclude, kConversion } kind = kInclude;
    std::string name;  // empty: this file (or, for a conversion, the file named like it)
    int number = -1;
};

// Every "%@[...]" and "%#[...]" code of text, in order.
std::vector<TextCode> FindTextCodes(std::string_view text);
// The highest argument number (%1 .. %F) the text uses; 0 when none.
int HighestArgument(std::string_view text);
// The kind of each conversion of a format entry: 's' text, 'd' integer, 'f' real.
std::string FormatKinds(std::string_view format);
const char* KindName(char kind);

}  // namespace check
