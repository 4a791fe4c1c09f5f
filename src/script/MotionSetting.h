// The reduced-motion setting of the program's INI: a line "ReduceMotion=1" (also yes, on, true;
// the key in any case) asks for animations shown at their end state. Off when absent.
#pragma once

#include <string>
#include <string_view>

namespace script {

// The setting in the INI text; a later line wins.
bool ReduceMotionIn(std::string_view ini_text);
// The setting in the INI file at path; false when it cannot be read.
bool ReadReduceMotion(const std::string& path);

}  // namespace script
