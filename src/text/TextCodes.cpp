#include "text/TextCodes.h"

namespace text {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::set<int> ArgumentPositions(std::string_view text) {
    std::set<int> positions;
    size_t i = 0;
    while (i < text.size()) {
        const size_t percent = text.find('%', i);
        if (percent == std::string_view::npos || percent + 1 >= text.size()) break;
        const char next = text[percent + 1];
        if (const int value = HexValue(next); value > 0) {
            positions.insert(value);
            i = percent + 2;
        } else if (next == '#' && percent + 2 < text.size() && text[percent + 2] == '[') {
            const size_t close = text.find(']', percent + 3);
            i = close == std::string_view::npos ? text.size() : close + 1;
        } else {
            i = percent + 1;
        }
    }
    return positions;
}

std::string_view ArgumentCode(int position) {
    static constexpr std::string_view kCodes[] = {"%0", "%1", "%2", "%3", "%4", "%5", "%6", "%7",
                                                  "%8", "%9", "%A", "%B", "%C", "%D", "%E", "%F"};
    return position >= 0 && position < 16 ? kCodes[position] : std::string_view("%?");
}

}  // namespace text
