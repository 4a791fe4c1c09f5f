#pragma once
// The program's fifty custom cursors, numbered 1 to 50, that scripts name "curs01" to "curs50".
// They are drawn once on first use and kept for the life of the program.

#include <QCursor>
#include <QImage>

namespace script {

inline constexpr int kCustomCursorCount = 50;

// The picture of custom cursor n (1 to 50), 32 x 32 with an alpha channel; a null image for
// any other number.
QImage CustomCursorImage(int n);

// Custom cursor n with its hot spot; false when n is outside 1 to 50.
bool CustomCursor(int n, QCursor* cursor);

}  // namespace script
