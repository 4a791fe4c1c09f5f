#include "windows/UserListIcons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPair>
#include <QPixmap>
#include <algorithm>
#include <cmath>

namespace windows {
namespace {

// A head and shoulders in a 16 x 16 box, offset by (x, y).
void Person(QPainter& g, qreal x, qreal y, const QColor& fill) {
    g.setPen(QPen(QColor(40, 40, 40), 1));
    g.setBrush(fill);
    QPainterPath body;
    body.moveTo(x + 2, y + 15);
    body.cubicTo(x + 2, y + 9, x + 14, y + 9, x + 14, y + 15);
    body.closeSubpath();
    g.drawPath(body);
    g.setBrush(QColor(255, 220, 180));
    g.drawEllipse(QRectF(x + 4.5, y + 1.5, 7, 7));
}

QImage Draw(int number, int size) {
    const int design = number == data::kIconHeader ? 32 : 16;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter g(&image);
    g.setRenderHint(QPainter::Antialiasing);
    g.scale(double(size) / design, double(size) / design);
    switch (number) {
        case data::kIconHeader:  // two learners side by side, the front one larger
            g.scale(1.4, 1.4);
            Person(g, 7, 1, QColor(120, 160, 220));
            Person(g, 0, 6, QColor(40, 90, 190));
            break;
        case data::kIconGroup: {  // a folder holding a learner
            g.setPen(QPen(QColor(120, 90, 20), 1));
            g.setBrush(QColor(240, 200, 80));
            QPainterPath folder;
            folder.moveTo(1.5, 3.5);
            folder.lineTo(6.5, 3.5);
            folder.lineTo(8, 5.5);
            folder.lineTo(14.5, 5.5);
            folder.lineTo(14.5, 14.5);
            folder.lineTo(1.5, 14.5);
            folder.closeSubpath();
            g.drawPath(folder);
            g.scale(0.6, 0.6);
            Person(g, 5.5, 8.5, QColor(40, 90, 190));
            break;
        }
        case data::kIconUser:
            Person(g, 0, 0, QColor(40, 90, 190));
            break;
        case data::kIconFinished:  // a learner with a green tick
            Person(g, 0, 0, QColor(40, 150, 70));
            g.setPen(QPen(QColor(0, 120, 0), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            g.drawPolyline(QPolygonF({QPointF(8, 11), QPointF(11, 14), QPointF(15, 7)}));
            break;
        case data::kIconPassword: {  // a key: a ring and a toothed shaft
            const QColor gold(230, 180, 30);
            g.fillRect(QRect(7, 6, 8, 3), gold);
            g.fillRect(QRect(11, 9, 2, 3), gold);
            g.fillRect(QRect(14, 9, 1, 2), gold);
            g.setPen(QPen(QColor(110, 80, 0), 1));
            g.setBrush(gold);
            g.drawEllipse(QRectF(0.5, 3.5, 8, 8));
            g.setBrush(Qt::white);
            g.drawEllipse(QRectF(2.5, 5.5, 3, 3));
            break;
        }
        case data::kIconMarker: {  // a red flag on a pole
            g.setPen(QPen(QColor(60, 60, 60), 1.5));
            g.drawLine(QPointF(3.5, 1.5), QPointF(3.5, 15));
            g.setPen(QPen(QColor(140, 0, 0), 1));
            g.setBrush(QColor(220, 30, 30));
            QPainterPath flag;
            flag.moveTo(4, 2);
            flag.lineTo(14.5, 5.5);
            flag.lineTo(4, 9);
            flag.closeSubpath();
            g.drawPath(flag);
            break;
        }
        default:
            return QImage();
    }
    return image;
}

}  // namespace

QImage UserListIcon(int number, double scale) {
    const int design = number == data::kIconHeader ? 32 : 16;
    const int size = std::clamp(static_cast<int>(std::lround(design * scale)), 1, design * 8);
    static QHash<QPair<int, int>, QImage> drawn;
    auto it = drawn.find({number, size});
    if (it == drawn.end()) it = drawn.insert({number, size}, Draw(number, size));
    return *it;
}

QIcon UserListQIcon(int number) {
    QIcon icon;
    for (double scale : {1.0, 1.25, 1.5, 2.0, 2.5, 3.0, 4.0}) {
        const QPixmap pixmap = QPixmap::fromImage(UserListIcon(number, scale));
        if (pixmap.isNull()) return QIcon();
        // The same picture on a selected row as on any other.
        icon.addPixmap(pixmap, QIcon::Normal);
        icon.addPixmap(pixmap, QIcon::Selected);
    }
    return icon;
}

}  // namespace windows
