// A sub-step file "MSG\<lang>\<dir><name>.MSG", the texts of a stage object's pop-up menu: text 2
// lists one "LDE%s TPS%d MTX%s" line per menu entry (line 0 for the menu's first entry), text 3
// is the sub-step's question.
#pragma once

#include <string>
#include <vector>

#include "lesson/LessonSettings.h"
#include "text/MessageFile.h"

namespace lesson {

// Opens the sub-step file of name with the course's seed, check modulus and unit line; false
// when it cannot be opened. path receives the file's path.
bool OpenSubStepFile(const LessonSettings& settings, const std::string& name,
                     text::MessageFile& file, std::string& path);

// Text 2 of an open sub-step file, one entry per line; empty when the text is.
std::vector<std::string> SubStepLines(text::MessageFile& file);

// The numbers of the lines that answer the step rightly ("LDE#0 ..."), counted from 0.
std::vector<int> RightSubStepLines(const std::vector<std::string>& lines);

}  // namespace lesson
