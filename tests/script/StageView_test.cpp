#include "script/StageView.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <cmath>
#include <cstdlib>

#include "support/QtTestEnvironment.h"

namespace {

// A picture with detail everywhere: squares of four colours, 3 pixels a side.
QImage Checks(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(200, 30, 30), qRgb(30, 160, 60), qRgb(40, 60, 220),
                            qRgb(240, 240, 240)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.setPixel(x, y, colours[(x / 3 + 2 * (y / 3)) % 4]);
    return picture;
}

QImage Blank(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::magenta);  // a colour nothing draws: what stays so was never painted
    return image;
}

// The stage rendered at scale into out, for the stage's region only, in its place.
void Render(script::StageView& stage, double scale, QImage& out, const QRegion& region) {
    QPainter p(&out);
    p.scale(scale, scale);
    stage.render(&p, region.boundingRect().topLeft(), region, QWidget::DrawChildren);
}

// What the stage must show: the picture filtered at scale, white beyond it.
QImage Expected(const QImage& picture, QSize stage, double scale, QSize size) {
    QImage out = Blank(size);
    QPainter p(&out);
    p.scale(scale, scale);
    p.fillRect(QRect(QPoint(), stage), Qt::white);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(0, 0, picture);
    return out;
}

// The largest difference of a colour channel between the images inside area.
int Difference(const QImage& a, const QImage& b, const QRect& area) {
    int worst = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb pa = a.pixel(x, y), pb = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(pa) - qRed(pb)),
                              std::abs(qGreen(pa) - qGreen(pb)), std::abs(qBlue(pa) - qBlue(pb))});
        }
    }
    return worst;
}

// The stage keeps a filtered copy of its picture between repaints: whatever changed in the
// picture, and whatever part is repainted, what shows is the picture as it is now.
TEST(StageViewTest, ScaledRepaintsShowThePictureAsItIsNow) {
    QImage picture = Checks(100, 70);
    script::StageView stage(picture);
    stage.resize(110, 80);  // a white margin right of and below the picture
    struct Step {
        const char* what;
        QRect change;     // painted yellow in the picture first (none when empty)
        QRect repainted;  // stage pixels repainted (the whole stage when empty)
        double scale;
    };
    const Step steps[] = {
        {"first", {}, {}, 2.5},
        {"unchanged", {}, {}, 2.5},
        {"a square changed, repainted there", {40, 20, 8, 8}, {40, 20, 8, 8}, 2.5},
        // The change is in the next square of the copy; its edge counts in the pixels shown
        // just left of it.
        {"changed beside the repainted part", {64, 0, 5, 70}, {50, 0, 14, 70}, 2.5},
        {"repainted whole after a change", {0, 0, 10, 10}, {}, 2.5},
        {"another scale", {}, {}, 1.75},
        {"scaled down", {90, 60, 10, 10}, {}, 0.6},
    };
    for (const Step& s : steps) {
        if (!s.change.isEmpty()) {
            QPainter p(&picture);
            p.fillRect(s.change, Qt::yellow);
        }
        const QRect region = s.repainted.isEmpty() ? stage.rect() : s.repainted;
        const QSize size(std::ceil(110 * s.scale), std::ceil(80 * s.scale));
        QImage shown = Blank(size);
        Render(stage, s.scale, shown, region);
        const QImage expected = Expected(picture, stage.size(), s.scale, size);
        // The repainted pixels (the parts repainted start and end on whole pixels).
        const QRect checked = QRectF(region.x() * s.scale, region.y() * s.scale,
                                     region.width() * s.scale, region.height() * s.scale)
                                  .toRect() &
                              shown.rect();
        EXPECT_LE(Difference(shown, expected, checked), 3) << s.what;
    }
}

TEST(StageViewTest, PaintsEveryPixelWithWhiteBeyondThePicture) {
    for (double scale : {1.0, 2.0, 1.4}) {
        QImage picture = Checks(60, 40);
        script::StageView stage(picture);
        stage.resize(80, 50);
        const QSize size(std::ceil(80 * scale), std::ceil(50 * scale));
        QImage shown = Blank(size);
        Render(stage, scale, shown, stage.rect());
        EXPECT_EQ(QColor(shown.pixel(size.width() - 2, size.height() - 2)), QColor(Qt::white))
            << scale;
        EXPECT_EQ(QColor(shown.pixel(size.width() - 2, 2)), QColor(Qt::white)) << scale;
        EXPECT_EQ(shown.pixel(int(1.5 * scale), int(1.5 * scale)), picture.pixel(1, 1)) << scale;
        int unpainted = 0;
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                unpainted += QColor(shown.pixel(x, y)) == QColor(Qt::magenta);
        EXPECT_EQ(unpainted, 0) << scale;
    }
}

}  // namespace
