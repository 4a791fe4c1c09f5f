#include "windows/ScreenFit.h"

#include <algorithm>
#include <cmath>

namespace windows {

ScreenFit FitScreen(int design_width, int design_height, int available_width,
                    int available_height) {
    ScreenFit f;
    if (design_width <= 0 || design_height <= 0 || available_width <= 0 || available_height <= 0) {
        f.width = std::max(design_width, 0);
        f.height = std::max(design_height, 0);
        return f;
    }
    f.scale =
        std::min(double(available_width) / design_width, double(available_height) / design_height);
    f.width = std::min(available_width, int(std::lround(design_width * f.scale)));
    f.height = std::min(available_height, int(std::lround(design_height * f.scale)));
    f.left = (available_width - f.width) / 2;
    f.top = (available_height - f.height) / 2;
    return f;
}

bool DisplayCanShow(int design_width, int design_height, int screen_width, int screen_height,
                    int bits_per_pixel) {
    if (bits_per_pixel <= 7 || design_width <= 0 || design_height <= 0) return false;
    // A small tolerance keeps exactly half the design size acceptable despite rounding.
    return FitScreen(design_width, design_height, screen_width, screen_height).scale + 1e-9 >=
           kMinimumScreenScale;
}

}  // namespace windows
