#include "windows/BoxFit.h"

#include <algorithm>
#include <cmath>

namespace windows {

double BoxScale(double screen_scale, int design_width, int design_height, int frame_width,
                int frame_height, int room_width, int room_height) {
    double scale = std::isfinite(screen_scale) && screen_scale > 0 ? screen_scale : 1.0;
    if (std::abs(scale - 1.0) < kBoxScaleSnap) scale = 1.0;
    if (design_width > 0 && room_width > 0)
        scale = std::min(scale, double(std::max(room_width - frame_width, 1)) / design_width);
    if (design_height > 0 && room_height > 0)
        scale = std::min(scale, double(std::max(room_height - frame_height, 1)) / design_height);
    return scale;
}

BoxRect KeepInRoom(BoxRect box, const BoxRect& room) {
    if (room.width <= 0 || room.height <= 0) return box;
    box.left = std::min(box.left, room.left + room.width - box.width);
    box.top = std::min(box.top, room.top + room.height - box.height);
    box.left = std::max(box.left, room.left);
    box.top = std::max(box.top, room.top);
    return box;
}

BoxRect CentreBox(int width, int height, const BoxRect& over, const BoxRect& room) {
    const BoxRect& centre_of = over.width > 0 && over.height > 0 ? over : room;
    BoxRect box{centre_of.left + (centre_of.width - width) / 2,
                centre_of.top + (centre_of.height - height) / 2, width, height};
    return KeepInRoom(box, room);
}

}  // namespace windows
