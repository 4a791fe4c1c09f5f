#include "windows/BoxFit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

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

BoxRect PlaceClearOf(int width, int height, int stage_width, int stage_height,
                     const std::vector<BoxRect>& objects, int margin) {
    const int right = stage_width - width - margin;
    const int bottom = stage_height - height - margin;
    const int middle_x = (stage_width - width) / 2;
    const int middle_y = (stage_height - height) / 2;
    const BoxRect candidates[] = {
        {right, middle_y, width, height},  {margin, middle_y, width, height},
        {middle_x, bottom, width, height}, {middle_x, margin, width, height},
        {right, bottom, width, height},    {margin, bottom, width, height},
        {right, margin, width, height},    {margin, margin, width, height},
    };
    auto hidden = [&objects](const BoxRect& box) {
        int64_t area = 0;
        for (const BoxRect& o : objects) {
            const int64_t w =
                std::min(box.left + box.width, o.left + o.width) - std::max(box.left, o.left);
            const int64_t h =
                std::min(box.top + box.height, o.top + o.height) - std::max(box.top, o.top);
            if (w > 0 && h > 0) area += w * h;
        }
        return area;
    };
    const BoxRect* best = &candidates[0];
    int64_t least = hidden(*best);
    for (const BoxRect& c : candidates) {
        if (least == 0) break;
        if (const int64_t area = hidden(c); area < least) {
            least = area;
            best = &c;
        }
    }
    return KeepInRoom(*best, {0, 0, stage_width, stage_height});
}

}  // namespace windows
