#pragma once

#include <span>

namespace windows {

// Modal results of the message box buttons (the standard values).
enum ModalResult : int {
    kResultNone = 0,
    kResultOk = 1,
    kResultCancel = 2,
    kResultAbort = 3,
    kResultRetry = 4,
    kResultIgnore = 5,
    kResultYes = 6,
    kResultNo = 7,
};

// Icon values of Ask.
enum WinBoxIcon : int {
    kIconError = 16,
    kIconQuestion = 32,
    kIconWarning = 48,
    kIconInformation = 64,
};

// Button sets of Ask.
enum WinBoxButtons : int {
    kButtonsNone = 0,
    kButtonYes = 1,
    kButtonNo = 2,
    kButtonOk = 3,
    kButtonIgnore = 4,
    kButtonCancel = 5,
    kButtonRetry = 6,
    kButtonAbort = 7,
    kButtonsYesNo = 8,
    kButtonsOkCancel = 9,
    kButtonsYesNoCancel = 16,
    kButtonsAbortRetryIgnore = 17,
};

// Numbers of the box's own texts.
enum WinBoxText : int {
    kTextYes = 0,
    kTextNo = 1,
    kTextOk = 2,
    kTextCancel = 3,
    kTextIgnore = 4,
    kTextRetry = 5,
    kTextAbort = 6,
    kTextPictureMissing = 7,
    kTextErrorIcon = 8,
    kTextWarningIcon = 9,
    kTextQuestionIcon = 10,
    kTextInformationIcon = 11,
};

// Design geometry of the box.
inline constexpr int kBoxBevelLeft = 8;
inline constexpr int kBoxBevelTop = 8;
inline constexpr int kBoxImageLeft = 10;
inline constexpr int kBoxImageTop = 15;
inline constexpr int kBoxLabelLeft = 50;
inline constexpr int kBoxLabelTop = 15;
inline constexpr int kBoxLabelWidth = 215;  // after the reset of each Ask
inline constexpr int kBoxLabelHeight = 40;
inline constexpr int kBoxMaxLineWidth = 550;  // lines this wide or wider wrap
inline constexpr int kBoxFrameHeightMargin = 17;
inline constexpr int kBoxFrameWidthMargin = 51;
inline constexpr int kBoxButtonWidth = 73;
inline constexpr int kBoxButtonHeight = 25;
inline constexpr int kBoxButtonGap = 15;
inline constexpr int kBoxPairShift = 30;

// One of the three buttons: BitBtn1 (centre), BitBtn2 (left, default), BitBtn3 (right).
struct BoxButton {
    bool visible = false;
    int left = 0;
    int text = -1;   // WinBoxText of its caption
    int result = 0;  // ModalResult
};

struct WinBoxLayout {
    int label_width = kBoxLabelWidth;
    int label_height = kBoxLabelHeight;
    int bevel_width = 0;
    int bevel_height = 0;
    int client_width = 0;
    int client_height = 0;
    int button_top = 0;
    BoxButton button[3];  // BitBtn1, BitBtn2, BitBtn3
};

// Lays out a box for a text whose lines measure line_widths pixels in a font text_height
// pixels high, with the given button set. An unknown set shows no button.
WinBoxLayout LayoutWinBox(std::span<const int> line_widths, int text_height, int buttons);

// The caption and result of a single-button set (1 to 7); false for any other set.
bool SingleButton(int buttons, int& text, int& result);

// Icon bitmap text and sound number for an icon value; false for other values.
bool IconResources(int icon, int& bitmap_text, int& sound_number);

// Layout of a picture box: the picture at (0,0) with OK below it.
struct PictureBoxLayout {
    int button_left = 0;
    int button_top = 0;
    int button_width = kBoxButtonWidth;
    int client_width = 0;
    int client_height = 0;
};
PictureBoxLayout LayoutPictureBox(int image_width, int image_height);

// Size of a picture scaled by factor, rounded to the nearest pixel.
int ScaleDimension(int size, double factor);

}  // namespace windows
