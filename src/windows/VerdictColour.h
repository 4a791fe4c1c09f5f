// The colours a verdict is shown in on a light background (the chosen answer's text and frame,
// the statistics window's verdict), and the contrast between two colours as screen readability
// rules measure it.
#pragma once

#include <QColor>
#include <algorithm>
#include <cmath>

namespace windows {

// Green for right, red for wrong, dark enough for 4.5:1 against white.
inline QColor VerdictColour(bool right) {
    return right ? QColor(0x00, 0x64, 0x00) : QColor(0xB0, 0x00, 0x00);
}

// Relative luminance of an sRGB colour.
inline double Luminance(const QColor& c) {
    auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

// The contrast ratio of two colours, 1 to 21.
inline double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace windows
