#include "windows/WinBoxLayout.h"

#include <algorithm>
#include <cmath>

namespace windows {

bool SingleButton(int buttons, int& text, int& result) {
    switch (buttons) {
        case kButtonYes:
            text = kTextYes, result = kResultYes;
            return true;
        case kButtonNo:
            text = kTextNo, result = kResultNo;
            return true;
        case kButtonOk:
            text = kTextOk, result = kResultOk;
            return true;
        case kButtonIgnore:
            text = kTextIgnore, result = kResultIgnore;
            return true;
        case kButtonCancel:
            text = kTextCancel, result = kResultCancel;
            return true;
        case kButtonRetry:
            text = kTextRetry, result = kResultRetry;
            return true;
        case kButtonAbort:
            text = kTextAbort, result = kResultAbort;
            return true;
        default:
            return false;
    }
}

bool IconResources(int icon, int& bitmap_text, int& sound_number) {
    switch (icon) {
        case kIconError:
            bitmap_text = kTextErrorIcon, sound_number = 5;
            return true;
        case kIconQuestion:
            bitmap_text = kTextQuestionIcon, sound_number = 4;
            return true;
        case kIconWarning:
            bitmap_text = kTextWarningIcon, sound_number = 3;
            return true;
        case kIconInformation:
            bitmap_text = kTextInformationIcon, sound_number = 6;
            return true;
        default:
            return false;
    }
}

WinBoxLayout LayoutWinBox(std::span<const int> line_widths, int text_height, int buttons) {
    WinBoxLayout l;
    // The label grows to the widest line that still fits; wider lines wrap.
    for (int w : line_widths)
        if (w < kBoxMaxLineWidth) l.label_width = std::max(l.label_width, w);
    l.bevel_width = kBoxFrameWidthMargin + l.label_width;

    // Each line takes one row plus one more for every full label width it spans.
    int rows = 0;
    for (int w : line_widths) rows += std::max(w, 0) / l.label_width + 1;
    l.label_height = std::max(l.label_height, text_height * rows);

    l.bevel_height = l.label_height + kBoxFrameHeightMargin;
    l.client_width = l.bevel_width + 2 * kBoxBevelLeft;
    l.client_height = l.bevel_height + 2 * kBoxBevelTop;
    if (buttons != kButtonsNone) l.client_height += kBoxButtonHeight + kBoxBevelTop;

    l.button_top = l.label_height + 34;
    int centre = l.client_width / 2 - kBoxButtonWidth / 2;
    l.button[0].left = centre;
    l.button[1].left = centre - kBoxButtonWidth - kBoxButtonGap;
    l.button[2].left = centre + kBoxButtonWidth + kBoxButtonGap;

    auto set = [&](int index, int text, int result) {
        l.button[index].visible = true;
        l.button[index].text = text;
        l.button[index].result = result;
    };
    int text = 0, result = 0;
    if (SingleButton(buttons, text, result)) {
        set(0, text, result);
    } else if (buttons == kButtonsYesNo || buttons == kButtonsOkCancel) {
        bool yes_no = buttons == kButtonsYesNo;
        set(1, yes_no ? kTextYes : kTextOk, yes_no ? kResultYes : kResultOk);
        set(2, yes_no ? kTextNo : kTextCancel, yes_no ? kResultNo : kResultCancel);
        l.button[1].left += kBoxPairShift;
        l.button[2].left -= kBoxPairShift;
    } else if (buttons == kButtonsYesNoCancel) {
        set(1, kTextYes, kResultYes);
        set(0, kTextNo, kResultNo);
        set(2, kTextCancel, kResultCancel);
    } else if (buttons == kButtonsAbortRetryIgnore) {
        set(1, kTextAbort, kResultAbort);
        set(0, kTextRetry, kResultRetry);
        set(2, kTextIgnore, kResultIgnore);
    }
    return l;
}

PictureBoxLayout LayoutPictureBox(int image_width, int image_height) {
    PictureBoxLayout p;
    if (p.button_width > image_width - 4) p.button_width = std::max(image_width - 4, 1);
    p.button_left = (image_width - p.button_width - 1) / 2;
    p.button_top = image_height + 5;
    p.client_width = image_width;
    p.client_height = image_height + kBoxButtonHeight + 35;
    return p;
}

int ScaleDimension(int size, double factor) {
    double v = std::round(size * factor);
    if (!(v >= 0)) return 0;  // negative or NaN factors give no size
    if (v > 1 << 15) return 1 << 15;
    return int(v);
}

}  // namespace windows
