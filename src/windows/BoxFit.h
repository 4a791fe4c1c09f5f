// The decisions behind a box shown over the main window, apart from the widgets: the scale it
// is shown at (the main window's, lowered until it fits the display) and its place (centred over
// the main window, or where its caller put it, and always on the display).
#pragma once

#include <vector>

namespace windows {

struct BoxRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Scales this close to 1 are taken as 1: a box is not resized by a fraction of a pixel because
// the main window's bars cost its screen a few lines.
inline constexpr double kBoxScaleSnap = 0.01;

// The scale of a box laid out at design_width x design_height over a main window whose screen
// is shown at screen_scale: that scale, lowered so that the box and its window frame
// (frame_width x frame_height beyond the box) fit the room the display offers. A screen_scale
// that is not a positive number counts as 1; a design or room that is not positive sets no bound.
double BoxScale(double screen_scale, int design_width, int design_height, int frame_width,
                int frame_height, int room_width, int room_height);

// The place of a box of width x height (frame included) centred over `over` (the room itself
// when over is empty), kept in the room.
BoxRect CentreBox(int width, int height, const BoxRect& over, const BoxRect& room);

// box moved into room as little as possible; a box larger than the room shows its top-left
// corner (its caption) first.
BoxRect KeepInRoom(BoxRect box, const BoxRect& room);

// The place on a stage (stage_width x stage_height) for a box of width x height that hides none
// of the objects drawn on it: against the stage's right, left, bottom or top edge, or in a
// corner, margin in from it, the first of these that is clear (the stage's own picture keeps
// its middle for what the objects are read against); where none is clear, the one that hides
// the least.
BoxRect PlaceClearOf(int width, int height, int stage_width, int stage_height,
                     const std::vector<BoxRect>& objects, int margin = 8);

}  // namespace windows
