#include "check/MessageTexts.h"

#include <cctype>
#include <cstdlib>

namespace check {

std::vector<TextCode> FindTextCodes(std::string_view text) {
    std::vector<TextCode> codes;
    for (size_t at = 0; at + 2 < text.size(); ++at) {
        if (text[at] != '%' || text[at + 2] != '[' || (text[at + 1] != '@' && text[at + 1] != '#'))
            continue;
        const size_t end = text.find(']', at);
        if (end == std::string_view::npos) break;
        TextCode code;
        code.kind = text[at + 1] == '@' ? TextCode::kInclude : TextCode::kConversion;
        std::string content(text.substr(at + 3, end - at - 3));
        const size_t blank = content.find(' ');
        std::string number = content;
        if (blank != std::string::npos) {
            code.name = content.substr(0, blank);
            number = content.substr(blank + 1);
        } else if (!content.empty() && !std::isdigit(static_cast<unsigned char>(content[0])) &&
                   content[0] != '-') {
            code.name = content;
            number.clear();
        }
        code.number = number.empty() ? -1 : std::atoi(number.c_str());
        codes.push_back(code);
        at = end;
    }
    return codes;
}

int HighestArgument(std::string_view text) {
    int highest = 0;
    for (size_t at = 0; at + 1 < text.size(); ++at) {
        if (text[at] != '%') continue;
        const char next = text[at + 1];
        if ((next == '@' || next == '#') && at + 2 < text.size() && text[at + 2] == '[') {
            const size_t end = text.find(']', at);
            if (end == std::string_view::npos) break;
            at = end;
            continue;
        }
        int v = 0;
        if (next >= '1' && next <= '9') v = next - '0';
        if (next >= 'A' && next <= 'F') v = next - 'A' + 10;
        if (next >= 'a' && next <= 'f') v = next - 'a' + 10;
        if (v > 0) {
            highest = std::max(highest, v);
            ++at;
        }
    }
    return highest;
}

std::string FormatKinds(std::string_view format) {
    std::string kinds;
    for (size_t at = format.find('%'); at != std::string_view::npos;
         at = format.find('%', at + 1)) {
        size_t end = at + 1;
        while (end < format.size() && format[end] != ' ' && format[end] != '%') ++end;
        const char last = end > at + 1 ? format[end - 1] : 's';
        switch (last) {
            case 'c':
            case 'd':
            case 'i':
            case 'o':
            case 'x':
            case 'X':
            case 'D':
            case 'I':
            case 'O':
            case 'u':
                kinds.push_back('d');
                break;
            case 'e':
            case 'f':
            case 'g':
            case 'E':
            case 'G':
                kinds.push_back('f');
                break;
            default:
                kinds.push_back('s');
                break;
        }
        at = end - 1;
    }
    return kinds;
}

const char* KindName(char kind) {
    switch (kind) {
        case 'd':
            return "a number";
        case 'f':
            return "a real";
        default:
            return "a text";
    }
}

}  // namespace check
