#include "script/StageObject.h"

namespace script {

int MenuTag(const std::vector<MenuEntry>& entries, int index) {
    int separators = 0;
    for (int i = 0; i <= index && i < static_cast<int>(entries.size()); ++i) {
        if (entries[i].caption == "-") ++separators;
    }
    return index - separators - 1;
}

const QImage& StageObject::MaskForDrawing() {
    if (mask.isNull()) return mask;
    if (mask.size() == working.size()) return mask;
    if (scaled_mask.size() != working.size()) {
        scaled_mask = working.isNull() ? QImage()
                                       : mask.scaled(working.size(), Qt::IgnoreAspectRatio,
                                                     Qt::FastTransformation)
                                             .convertToFormat(QImage::Format_RGB32);
    }
    return scaled_mask;
}

}  // namespace script
