// The icons of the user list, drawn by the program; their numbers are data::UserListIconNumber.
#pragma once

#include <QImage>

#include "data/UserList.h"

namespace windows {

// Icon number as a 16 x 16 picture with an alpha channel (32 x 32 for the header's); a null
// image for any other number. Drawn once and kept.
QImage UserListIcon(int number);

}  // namespace windows
