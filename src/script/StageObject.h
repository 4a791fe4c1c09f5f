// A stage object: its stored record plus what exists only while it lives (bitmaps, controls,
// the pop-up menu's entries).
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

#include "script/ObjectRecord.h"

namespace script {

class ImageControl;

// One entry of an image object's pop-up menu.
struct MenuEntry {
    std::string caption;  // "-" for a separator
    std::string picture;  // native path of the entry's bitmap, empty for none
    bool visible = true;
    bool is_default = false;
};

// The tag a pick on entry index sets: its position minus the separators up to and including
// it, minus 1 (the hint entry gives 0, the first line entry 1).
int MenuTag(const std::vector<MenuEntry>& entries, int index);

struct StageObject {
    ObjectRecord rec;
    int kind = 0;
    int slot = 0;

    std::string full_path;         // substituted native bitmap path
    std::string base_name;         // file name without extension; also names the mask
    QImage working;                // what is drawn
    QImage pristine;               // as loaded, redrawn into working when the size changes
    QImage mask;                   // as loaded
    QImage scaled_mask;            // mask at the working bitmap's size
    std::vector<QImage> pictures;  // digit font (0..12) or picture series (0..14)
    bool pictures_are_series = false;

    QPointer<QWidget> panel_control;  // class 1
    QPointer<ImageControl> control;   // class 2
    std::vector<MenuEntry> menu;
    int control_tag = -1;
    bool mask_reported = false;  // the missing-mask notice was shown
    int gauge = -1;              // index into the engine's gauges, -1 for none

    // The mask at the working bitmap's size (null when there is no mask).
    const QImage& MaskForDrawing();
};

}  // namespace script
