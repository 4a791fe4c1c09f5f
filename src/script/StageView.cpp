#include "script/StageView.h"

#include <QPaintEvent>
#include <QPainter>
#include <cmath>
#include <cstring>

namespace script {

namespace {

// Picture pixels per side of the squares compared to find what changed.
constexpr int kTile = 32;

bool SameRows(const QImage& a, const QImage& b, const QRect& r) {
    const size_t bytes = static_cast<size_t>(r.width()) * 4;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const uchar* row_a = a.constScanLine(y) + r.left() * 4;
        const uchar* row_b = b.constScanLine(y) + r.left() * 4;
        if (std::memcmp(row_a, row_b, bytes) != 0) return false;
    }
    return true;
}

void CopyRows(const QImage& from, QImage& to, const QRect& r) {
    const size_t bytes = static_cast<size_t>(r.width()) * 4;
    for (int y = r.top(); y <= r.bottom(); ++y)
        std::memcpy(to.scanLine(y) + r.left() * 4, from.constScanLine(y) + r.left() * 4, bytes);
}

}  // namespace

StageView::StageView(const QImage& picture, QWidget* parent) : QWidget(parent), picture_(picture) {
    setAttribute(Qt::WA_OpaquePaintEvent);  // the picture and the white cover the whole stage
    setAutoFillBackground(false);
}

void StageView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRect covered = picture_.isNull() ? QRect() : picture_.rect() & rect();
    // Only what the picture leaves free is filled white: scaled up on a large screen every
    // pixel written twice costs as much as the picture itself.
    for (const QRect& free : event->region() - QRegion(covered)) p.fillRect(free, Qt::white);
    if (covered.isEmpty()) return;
    const QTransform device = p.deviceTransform();
    const bool plain_scale = device.type() <= QTransform::TxScale && device.m11() > 0 &&
                             device.m22() > 0 && picture_.format() == QImage::Format_RGB32;
    if (!plain_scale || (device.m11() == 1 && device.m22() == 1)) {
        // Unscaled (a plain copy) or turned: drawn directly, filtered when scaled.
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(0, 0, picture_);
        return;
    }
    // The copy starts at the display pixel where the picture starts, less than a pixel before.
    const QRectF shown = device.mapRect(QRectF(picture_.rect()));
    const QPoint corner(std::floor(shown.left()), std::floor(shown.top()));
    Refresh(event->rect() & covered,
            Filtering{device.m11(), device.m22(), shown.topLeft() - corner});
    // The scaled copy goes to the display pixel for pixel.
    p.setWorldTransform(device.inverted() * p.worldTransform());
    p.drawImage(corner, scaled_);
}

void StageView::Refresh(const QRect& area, const Filtering& filtering) {
    if (!(filtering == filtering_) || filtered_.size() != picture_.size() ||
        filtered_.format() != picture_.format()) {
        filtering_ = filtering;
        filtered_ = picture_.copy();
        const QSize size(std::ceil(filtering.offset.x() + picture_.width() * filtering.sx),
                         std::ceil(filtering.offset.y() + picture_.height() * filtering.sy));
        scaled_ = QImage(size, QImage::Format_RGB32);
        Filter(QRegion(picture_.rect()));
        return;
    }
    // The squares under the area, and under one pixel around it: filtering reads neighbours.
    const QRect check = area.adjusted(-1, -1, 1, 1) & picture_.rect();
    QRegion changed;
    for (int ty = check.top() / kTile; ty <= check.bottom() / kTile; ++ty) {
        for (int tx = check.left() / kTile; tx <= check.right() / kTile; ++tx) {
            const QRect tile = QRect(tx * kTile, ty * kTile, kTile, kTile) & picture_.rect();
            if (SameRows(picture_, filtered_, tile)) continue;
            CopyRows(picture_, filtered_, tile);
            changed += tile;
        }
    }
    if (!changed.isEmpty()) Filter(changed);
}

void StageView::Filter(const QRegion& region) {
    const Filtering& f = filtering_;
    const auto device = [&f](const QRectF& r) {
        return QRectF(f.offset.x() + r.x() * f.sx, f.offset.y() + r.y() * f.sy, r.width() * f.sx,
                      r.height() * f.sy);
    };
    // A changed pixel also counts in the filtered pixels around it, up to one picture pixel away.
    QRegion reach;
    for (const QRect& r : region) {
        const QRect g = r.adjusted(-1, -1, 1, 1);
        reach += device(g).toAlignedRect();
    }
    QPainter q(&scaled_);
    q.setClipRegion(reach);
    q.setRenderHint(QPainter::SmoothPixmapTransform);
    q.translate(f.offset);
    q.scale(f.sx, f.sy);
    q.drawImage(0, 0, picture_);
}

}  // namespace script
