// The icons of the user list, drawn by the program; their numbers are data::UserListIconNumber.
#pragma once

#include <QIcon>
#include <QImage>

#include "data/UserList.h"

namespace windows {

// Icon number as a 16 x 16 picture with an alpha channel (32 x 32 for the header's), drawn at
// scale times that size; a null image for any other number. Drawn once per size and kept.
QImage UserListIcon(int number, double scale = 1.0);

// Icon number for a list or tree, drawn afresh at each size up to four times its design, so it
// stays crisp in a list shown larger.
QIcon UserListQIcon(int number);

}  // namespace windows
