#include "shell/TStagWinLayout.h"

#include <cmath>
#include <cstdio>

namespace shell {

InfoPlacement ParseInfoPlacement(const std::string& placement) {
    InfoPlacement p;
    const char* s = placement.c_str();
    if (std::sscanf(s, "X%d Y%d W%d", &p.x, &p.y, &p.w) != 3)
        if (std::sscanf(s, "X%d Y%d", &p.x, &p.y) != 2) std::sscanf(s, "Y%d", &p.y);
    return p;
}

InfoPanelGeometry LayoutInfoPanel(const InfoPlacement& placement, std::span<const int> line_widths,
                                  int font_height, int margin, int stage_width, int current_top) {
    InfoPanelGeometry g;
    g.top = placement.y != 0 ? placement.y : current_top;
    g.width = placement.w;
    g.height = int(std::lround((double(line_widths.size()) + 1) * font_height * 1.18));
    for (int w : line_widths) {
        if (placement.w == 0 && g.width < w + 5 * margin) g.width = w + 5 * margin;
        if (g.width - 5 * margin < w) g.height += font_height;
    }
    g.left = placement.x != 0 ? placement.x : (stage_width - g.width) / 2;
    return g;
}

double StandingPercent(int total, int total_worth) {
    if (total_worth == 0) return 0.0;
    return total * 99.9 / total_worth;
}

DisplayCheck CheckDisplaySize(const std::string& resolution, int screen_width, int screen_height,
                              int bits_per_pixel) {
    DisplayCheck c;
    int w = 0, h = 0;
    if (std::sscanf(resolution.c_str(), "%dx%d", &w, &h) == 2 && w > 0 && h > 0) {
        c.width = w;
        c.height = h;
    }
    c.fits = screen_width >= c.width && screen_height >= c.height && bits_per_pixel > 7;
    return c;
}

ControlPanelLayout LayoutControlPanel(int stage_left, int stage_width, int stage_height,
                                      int panel4_left, int panel2_top, int command_width,
                                      int command_height, int button_size, int label_height) {
    ControlPanelLayout l;
    l.panel1 = {stage_left, stage_height - kControlPanelHeight, stage_width, kControlPanelHeight};
    l.panel4 = {panel4_left, panel2_top, stage_width - panel4_left - command_width - 20, 50};
    l.label40 = {5, 5, l.panel4.width - 10, l.panel4.height - 10};
    int command_left = l.panel4.Right() + 10;
    l.stop = {command_left, 10, command_width, command_height};
    l.next = {command_left, 44, command_width, command_height};
    l.prev = {command_left, 78, command_width, command_height};
    l.exit = {command_left, 112, command_width, command_height};
    int half = l.panel4.width / 2;
    l.button[0] = {l.panel4.left, l.panel4.top + l.panel4.height + 10, button_size, button_size};
    l.button[1] = {l.button[0].left, l.button[0].top + 40, button_size, button_size};
    l.button[2] = {l.button[0].left + half + 10, l.button[0].top, button_size, button_size};
    l.button[3] = {l.button[2].left, l.button[1].top, button_size, button_size};
    int label_left = l.button[0].Right() + 10;
    int label_width = half - label_left;
    l.label[0] = {label_left, l.button[0].top, label_width, label_height};
    l.label[1] = {label_left, l.button[1].top, label_width, label_height};
    l.label[2] = {l.button[2].Right() + 10, l.button[2].top, label_width, label_height};
    l.label[3] = {l.label[2].left, l.button[3].top, label_width, label_height};
    l.speed_button = {4, l.panel4.top, 24, 24};
    return l;
}

Rect LayoutVerdictLine(const Rect& panel1, const Rect& panel4) {
    return {panel1.left + panel4.left, panel1.top - kVerdictHeight, panel4.width, kVerdictHeight};
}

}  // namespace shell
