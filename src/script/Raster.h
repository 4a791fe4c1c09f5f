// Rectangle copies with the three raster operations the stage uses, on 32-bit RGB images:
// source-copy, source-AND (masks) and source-paint (OR). Everything is clipped to both images.
#pragma once

#include <QImage>

namespace script {

enum class RasterOp { kCopy, kAnd, kPaint };

// Copies the w x h rectangle of src at (sx, sy) to dst at (dx, dy) with op.
void BlitRect(QImage& dst, int dx, int dy, const QImage& src, int sx, int sy, int w, int h,
              RasterOp op);
// The whole of src at (dx, dy).
inline void Blit(QImage& dst, int dx, int dy, const QImage& src, RasterOp op) {
    BlitRect(dst, dx, dy, src, 0, 0, src.width(), src.height(), op);
}

// Loads a picture as 32-bit RGB; a null image when it cannot be read.
QImage LoadPicture(const std::string& native_path);

// A blue-green-red colour value as a Qt colour; the system button-face code maps to light grey.
QRgb ColourFromBgr(int32_t bgr);

}  // namespace script
