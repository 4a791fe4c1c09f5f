// The argument codes of a stored text, found as GetText's substitution finds them.
#pragma once

#include <set>
#include <string_view>

namespace text {

// The argument positions (1 to 15) a text inserts: "%1" ... "%9", "%A" ... "%F" and "%a" ...
// "%f"; the content of a conversion code ("%#[...]") is skipped, as substitution skips it.
std::set<int> ArgumentPositions(std::string_view text);

// The code that inserts argument position: "%1" ... "%9", "%A" ... "%F".
std::string_view ArgumentCode(int position);

}  // namespace text
