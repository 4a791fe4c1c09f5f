#include "script/CustomCursors.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QTransform>
#include <cmath>

namespace script {
namespace {

constexpr int kSize = 32;

// The family of shapes: 1-8 arrows turned in steps of 45 degrees (1 points up, then clockwise),
// 9-16 pointing hands turned the same way, 17-24 curved turning arrows (clockwise then
// anticlockwise, four quarter turns each), 25-32 cross-hairs and targets, 33-40 tool tips
// (pen, magnifier, drop, wrench, screwdriver, pipette, probe, stop), 41-50 numbered pointers.
struct Shape {
    QImage image;
    QPoint hot;
};

QPainterPath ArrowPath() {
    QPainterPath p;
    p.moveTo(16, 2);
    p.lineTo(26, 14);
    p.lineTo(19, 14);
    p.lineTo(19, 29);
    p.lineTo(13, 29);
    p.lineTo(13, 14);
    p.lineTo(6, 14);
    p.closeSubpath();
    return p;
}

QPainterPath HandPath() {
    QPainterPath p;
    p.addRoundedRect(QRectF(13, 2, 6, 16), 3, 3);   // pointing finger
    p.addRoundedRect(QRectF(8, 13, 18, 16), 5, 5);  // palm
    return p.simplified();
}

QPointF Rotated(QPointF p, double degrees) {
    QTransform t;
    t.translate(16, 16).rotate(degrees).translate(-16, -16);
    return t.map(p);
}

void Outline(QPainter& g, const QPainterPath& path, const QColor& fill) {
    g.setPen(QPen(Qt::black, 1.5));
    g.setBrush(fill);
    g.drawPath(path);
}

Shape Draw(int n) {
    Shape s{QImage(kSize, kSize, QImage::Format_ARGB32_Premultiplied), QPoint(16, 16)};
    s.image.fill(Qt::transparent);
    QPainter g(&s.image);
    g.setRenderHint(QPainter::Antialiasing);
    const int group = (n - 1) / 8;
    const int turn = (n - 1) % 8;
    const double degrees = 45.0 * turn;
    QTransform spin;
    spin.translate(16, 16).rotate(degrees).translate(-16, -16);
    if (n <= 16) {
        const bool hand = group == 1;
        Outline(g, spin.map(hand ? HandPath() : ArrowPath()),
                hand ? QColor(255, 224, 189) : Qt::white);
        s.hot = Rotated(QPointF(16, 2), degrees).toPoint();
    } else if (n <= 24) {
        const bool clockwise = turn < 4;
        QPainterPath arc;
        arc.arcMoveTo(QRectF(6, 6, 20, 20), 90 * (turn % 4));
        arc.arcTo(QRectF(6, 6, 20, 20), 90 * (turn % 4), clockwise ? -270 : 270);
        g.setPen(QPen(Qt::black, 5, Qt::SolidLine, Qt::RoundCap));
        g.drawPath(arc);
        g.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
        g.drawPath(arc);
        const QPointF tip = arc.currentPosition();
        g.setPen(QPen(Qt::black, 1));
        g.setBrush(Qt::white);
        g.drawEllipse(tip, 4, 4);
    } else if (n <= 32) {
        g.setPen(QPen(Qt::black, 3));
        g.drawLine(16, 1, 16, 31);
        g.drawLine(1, 16, 31, 16);
        g.setPen(QPen(Qt::white, 1));
        g.drawLine(16, 1, 16, 31);
        g.drawLine(1, 16, 31, 16);
        g.setBrush(Qt::NoBrush);
        for (int ring = 0; ring < turn % 4 + 1; ++ring) {
            g.setPen(QPen(turn < 4 ? Qt::black : Qt::red, 1.5));
            g.drawEllipse(QPointF(16, 16), 4 + 3.5 * ring, 4 + 3.5 * ring);
        }
    } else if (n <= 40) {
        QPainterPath tool;
        switch (turn) {
            case 0:  // pen
                tool.moveTo(3, 29);
                tool.lineTo(7, 20);
                tool.lineTo(24, 3);
                tool.lineTo(29, 8);
                tool.lineTo(12, 25);
                tool.closeSubpath();
                s.hot = QPoint(3, 29);
                break;
            case 1:  // magnifier
                tool.addEllipse(QRectF(3, 3, 17, 17));
                tool.moveTo(17, 19);
                tool.lineTo(27, 29);
                tool.lineTo(29, 27);
                tool.lineTo(19, 17);
                s.hot = QPoint(11, 11);
                break;
            case 2:  // drop
                tool.moveTo(16, 2);
                tool.cubicTo(26, 16, 26, 29, 16, 29);
                tool.cubicTo(6, 29, 6, 16, 16, 2);
                s.hot = QPoint(16, 2);
                break;
            case 3:  // wrench
                tool.addEllipse(QRectF(2, 2, 12, 12));
                tool.addRect(QRectF(9, 9, 5, 22));
                s.hot = QPoint(8, 8);
                break;
            case 4:  // screwdriver
                tool.addRect(QRectF(14, 2, 4, 14));
                tool.addRoundedRect(QRectF(11, 15, 10, 15), 3, 3);
                s.hot = QPoint(16, 2);
                break;
            case 5:  // pipette
                tool.moveTo(2, 30);
                tool.lineTo(20, 12);
                tool.lineTo(23, 15);
                tool.lineTo(5, 30);
                tool.closeSubpath();
                tool.addEllipse(QRectF(19, 3, 10, 10));
                s.hot = QPoint(2, 30);
                break;
            case 6:  // probe
                tool.addRect(QRectF(15, 2, 2, 12));
                tool.addRoundedRect(QRectF(11, 13, 10, 17), 2, 2);
                s.hot = QPoint(16, 2);
                break;
            default:  // stop
                tool.addEllipse(QRectF(3, 3, 26, 26));
                tool.moveTo(9, 9);
                tool.lineTo(23, 23);
                break;
        }
        Outline(g, tool, turn == 7 ? QColor(220, 40, 40) : QColor(200, 220, 255));
    } else {
        Outline(g, ArrowPath(), QColor(255, 240, 140));
        s.hot = QPoint(16, 2);
        QFont font;
        font.setPixelSize(10);
        font.setBold(true);
        g.setFont(font);
        g.setPen(Qt::black);
        g.drawText(QRect(0, 18, kSize, 12), Qt::AlignCenter, QString::number(n - 40));
    }
    g.end();
    s.hot.setX(std::clamp(s.hot.x(), 0, kSize - 1));
    s.hot.setY(std::clamp(s.hot.y(), 0, kSize - 1));
    return s;
}

const Shape* Cached(int n) {
    if (n < 1 || n > kCustomCursorCount) return nullptr;
    static QHash<int, Shape> cache;
    auto it = cache.find(n);
    if (it == cache.end()) it = cache.insert(n, Draw(n));
    return &*it;
}

}  // namespace

QImage CustomCursorImage(int n) {
    const Shape* s = Cached(n);
    return s ? s->image : QImage();
}

bool CustomCursor(int n, QCursor* cursor) {
    const Shape* s = Cached(n);
    if (!s) return false;
    *cursor = QCursor(QPixmap::fromImage(s->image), s->hot.x(), s->hot.y());
    return true;
}

}  // namespace script
