#include "script/Raster.h"

#include <algorithm>
#include <cstring>

#include "script/CommandTable.h"

namespace script {

void BlitRect(QImage& dst, int dx, int dy, const QImage& src, int sx, int sy, int w, int h,
              RasterOp op) {
    if (dst.isNull() || src.isNull() || w <= 0 || h <= 0) return;
    // Clip against the source.
    if (sx < 0) {
        dx -= sx;
        w += sx;
        sx = 0;
    }
    if (sy < 0) {
        dy -= sy;
        h += sy;
        sy = 0;
    }
    w = std::min(w, src.width() - sx);
    h = std::min(h, src.height() - sy);
    // Clip against the destination.
    if (dx < 0) {
        sx -= dx;
        w += dx;
        dx = 0;
    }
    if (dy < 0) {
        sy -= dy;
        h += dy;
        dy = 0;
    }
    w = std::min(w, dst.width() - dx);
    h = std::min(h, dst.height() - dy);
    if (w <= 0 || h <= 0) return;
    // Row pointers are taken once: scanLine() on a writable image checks for sharing each call.
    uchar* dst_bits = dst.bits();
    const qsizetype dst_stride = dst.bytesPerLine();
    const uchar* src_bits = src.constBits();
    const qsizetype src_stride = src.bytesPerLine();
    for (int row = 0; row < h; ++row) {
        auto* d = reinterpret_cast<uint32_t*>(dst_bits + (dy + row) * dst_stride) + dx;
        auto* s = reinterpret_cast<const uint32_t*>(src_bits + (sy + row) * src_stride) + sx;
        switch (op) {
            case RasterOp::kCopy:
                std::memcpy(d, s, static_cast<size_t>(w) * 4);
                break;
            case RasterOp::kAnd:
                for (int i = 0; i < w; ++i) d[i] &= (s[i] | 0xFF000000u);
                break;
            case RasterOp::kPaint:
                for (int i = 0; i < w; ++i) d[i] |= s[i];
                break;
        }
    }
}

QImage LoadPicture(const std::string& native_path) {
    QImage img(QString::fromStdString(native_path));
    if (img.isNull()) return img;
    return img.convertToFormat(QImage::Format_RGB32);
}

QRgb ColourFromBgr(int32_t bgr) {
    if (bgr == kSystemButtonFace) return qRgb(0xF0, 0xF0, 0xF0);
    uint32_t v = static_cast<uint32_t>(bgr);
    return qRgb(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

}  // namespace script
