#include "lesson/RichTextLines.h"

#include <algorithm>

namespace lesson {

std::vector<RichText> SplitRichText(const RichText& text, std::string_view separator) {
    std::vector<RichText> pieces;
    if (text.text.empty() || separator.empty()) {
        if (!text.text.empty()) pieces.push_back(text);
        return pieces;
    }
    size_t start = 0;
    while (start <= text.text.size()) {
        size_t end = text.text.find(separator, start);
        if (end == std::string::npos) end = text.text.size();
        RichText piece;
        piece.text = text.text.substr(start, end - start);
        for (const text::TextSpan& span : text.spans) {
            const int from = std::max(span.start, static_cast<int>(start));
            const int to = std::min(span.start + span.length, static_cast<int>(end));
            if (to <= from) continue;
            text::TextSpan clipped = span;
            clipped.start = from - static_cast<int>(start);
            clipped.length = to - from;
            piece.spans.push_back(clipped);
        }
        pieces.push_back(std::move(piece));
        start = end + separator.size();
    }
    return pieces;
}

}  // namespace lesson
