// Cutting a styled text into pieces at a separator, each piece keeping the styles of its
// characters.
#pragma once

#include <string_view>
#include <vector>

#include "lesson/LessonScreen.h"

namespace lesson {

// The pieces between separators (an empty text gives no piece), spans clipped to each piece
// and moved to its start.
std::vector<RichText> SplitRichText(const RichText& text, std::string_view separator);

}  // namespace lesson
