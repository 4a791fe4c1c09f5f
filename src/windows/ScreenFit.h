// The arithmetic of fitting a screen laid out at its design size into the space a display
// offers: one scale for both axes (the aspect is kept) and the bands left around it.
#pragma once

namespace windows {

struct ScreenFit {
    double scale = 1.0;  // design pixels to shown pixels
    int left = 0;        // band on the left (and, within a pixel, on the right)
    int top = 0;         // band on top (and below)
    int width = 0;       // the scaled screen
    int height = 0;
};

// Fits a design_width x design_height screen into available_width x available_height, centred.
// A zero or negative size gives scale 1 and no bands.
ScreenFit FitScreen(int design_width, int design_height, int available_width, int available_height);

// Below this scale the screen's texts and objects are too small to use: the player refuses the
// display instead of showing it.
inline constexpr double kMinimumScreenScale = 0.5;

// Whether a display of screen_width x screen_height can show a design of design_width x
// design_height (scaled down when needed) at more than 7 bits per pixel.
bool DisplayCanShow(int design_width, int design_height, int screen_width, int screen_height,
                    int bits_per_pixel);

}  // namespace windows
