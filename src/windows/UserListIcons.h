// The icons of the user list, drawn by the program: 3 the header's learners, 24 a group,
// 25 a learner, 26 a learner who finished the course, 27 a stored password, 28 a marked learner.
#pragma once

#include <QImage>

namespace windows {

enum UserListIconNumber {
    kIconHeader = 3,
    kIconGroup = 24,
    kIconUser = 25,
    kIconFinished = 26,
    kIconPassword = 27,
    kIconMarker = 28,
};

// Icon number as a 16 x 16 picture with an alpha channel (32 x 32 for the header's); a null
// image for any other number. Drawn once and kept.
QImage UserListIcon(int number);

}  // namespace windows
