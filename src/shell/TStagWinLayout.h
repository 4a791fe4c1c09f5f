// The arithmetic of the main window, kept apart from the widgets so that tests reach it: the
// control panel, the info panel, the status bar standing and the display check.
#pragma once

#include <span>
#include <string>

namespace shell {

// Placement text of an info panel: "X%d Y%d W%d", else "X%d Y%d", else "Y%d" (sscanf rules,
// so values read by an attempt that fell short stay read).
struct InfoPlacement {
    int x = 0;
    int y = 0;
    int w = 0;
};
InfoPlacement ParseInfoPlacement(const std::string& placement);

struct InfoPanelGeometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};
// Sizes the info panel for lines measuring line_widths pixels in a font font_height high, with
// the text's left margin; a zero Y keeps current_top, a zero X centres it on the stage.
InfoPanelGeometry LayoutInfoPanel(const InfoPlacement& placement, std::span<const int> line_widths,
                                  int font_height, int margin, int stage_width, int current_top);

// Total x 99.9 / TotalWorth, 0 when nothing was at stake yet.
double StandingPercent(int total, int total_worth);

// The window size Resolution= asks for ("%dx%d"; 1008 x 749 when absent or unreadable) and
// whether the screen holds it with more than 7 bits per pixel.
struct DisplayCheck {
    int width = 1008;
    int height = 749;
    bool fits = false;
};
DisplayCheck CheckDisplaySize(const std::string& resolution, int screen_width, int screen_height,
                              int bits_per_pixel);

// Positions inside the control panel (Panel1) for a stage of the given width.
struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    int Right() const { return left + width; }
    bool operator==(const Rect&) const = default;
};
struct ControlPanelLayout {
    Rect panel1, panel4, label40;
    Rect stop, next, prev, exit;
    Rect button[4];  // Button1..Button4
    Rect label[4];   // Label1..Label4
    Rect speed_button;
};
inline constexpr int kControlPanelHeight = 145;
inline constexpr int kCollapsedPanelHeight = 30;
// panel4_left and panel2_top are the design places of the question box and the verdict line;
// button_size the answer buttons' side; command_width/height those of Next, Stop, Prev, Exit.
ControlPanelLayout LayoutControlPanel(int stage_left, int stage_width, int stage_height,
                                      int panel4_left, int panel2_top, int command_width,
                                      int command_height, int button_size, int label_height);

// The verdict line's own band, in stage coordinates: directly above the control panel (panel1,
// expanded or collapsed), as wide as the question box (panel4, inside panel1), so that it never
// covers the question.
inline constexpr int kVerdictHeight = 24;
Rect LayoutVerdictLine(const Rect& panel1, const Rect& panel4);

}  // namespace shell
