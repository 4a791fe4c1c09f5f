#include "script/StageView.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRegion>

namespace script {

StageView::StageView(const QImage& picture, QWidget* parent) : QWidget(parent), picture_(picture) {
    setAttribute(Qt::WA_OpaquePaintEvent);  // the picture and the white cover the whole stage
    setAutoFillBackground(false);
}

void StageView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    // Shown scaled, the picture is filtered rather than repeated pixel by pixel.
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect covered = picture_.isNull() ? QRect() : picture_.rect() & rect();
    // Only what the picture leaves free is filled white: scaled up on a large screen every
    // pixel written twice costs as much as the picture itself.
    for (const QRect& free : event->region() - QRegion(covered)) p.fillRect(free, Qt::white);
    // Drawn whole and clipped to the exposed region, so that the filtering at the region's
    // edges reads the same neighbours as a full repaint does.
    if (!covered.isEmpty()) p.drawImage(0, 0, picture_);
}

}  // namespace script
