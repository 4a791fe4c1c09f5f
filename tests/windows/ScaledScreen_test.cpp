#include "windows/ScaledScreen.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include "support/QtTestEnvironment.h"
#include "windows/ScreenFit.h"

namespace {

TEST(ScreenFitTest, KeepsTheAspectWithBands) {
    struct Case {
        int dw, dh, aw, ah;
        double scale;
        int left, top, width, height;
    };
    const Case cases[] = {
        {1000, 750, 1000, 750, 1.0, 0, 0, 1000, 750},    // exact
        {1000, 750, 500, 750, 0.5, 0, 187, 500, 375},    // narrow: bands above and below
        {1000, 750, 2000, 750, 1.0, 500, 0, 1000, 750},  // wide: bands left and right
        {1008, 749, 3840, 2160, 2160.0 / 749, 466, 0, 2907, 2160},
        {1008, 749, 0, 720, 1.0, 0, 0, 1008, 749},  // nothing to fit into: unscaled
    };
    for (const Case& c : cases) {
        windows::ScreenFit f = windows::FitScreen(c.dw, c.dh, c.aw, c.ah);
        EXPECT_DOUBLE_EQ(f.scale, c.scale) << c.aw << "x" << c.ah;
        EXPECT_EQ(f.left, c.left) << c.aw << "x" << c.ah;
        EXPECT_EQ(f.top, c.top) << c.aw << "x" << c.ah;
        EXPECT_EQ(f.width, c.width) << c.aw << "x" << c.ah;
        EXPECT_EQ(f.height, c.height) << c.aw << "x" << c.ah;
    }
}

TEST(ScreenFitTest, RefusesOnlyDisplaysBelowHalfTheDesign) {
    using windows::DisplayCanShow;
    EXPECT_TRUE(DisplayCanShow(1008, 749, 1008, 749, 8));
    EXPECT_TRUE(DisplayCanShow(1008, 749, 1280, 720, 24));  // a 150 % laptop, a projector
    EXPECT_TRUE(DisplayCanShow(1008, 749, 504, 375, 24));   // half the design
    EXPECT_FALSE(DisplayCanShow(1008, 749, 503, 749, 24));
    EXPECT_FALSE(DisplayCanShow(1008, 749, 1008, 374, 24));
    EXPECT_FALSE(DisplayCanShow(1008, 749, 1920, 1080, 7));  // too few colours
}

// A design screen of 400 x 300: white with a red square and a button at design places.
class Content : public QWidget {
  public:
    Content() {
        button = new QPushButton("&Next", this);
        button->setGeometry(100, 100, 80, 30);
    }
    QPushButton* button;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        p.fillRect(QRect(300, 200, 40, 40), Qt::red);
    }
};

class KeyWindow : public QMainWindow {
  public:
    std::vector<int> keys;

  protected:
    void keyPressEvent(QKeyEvent* e) override { keys.push_back(e->key()); }
};

struct ScaledFixture : ::testing::Test {
    KeyWindow window;
    Content* content = new Content;
    windows::ScaledScreen* screen = new windows::ScaledScreen(content, QSize(400, 300));
    void SetUp() override {
        window.setCentralWidget(screen);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void ResizeScreen(int w, int h) {
        window.resize(w, h);
        QApplication::processEvents();
    }
};

TEST_F(ScaledFixture, ClicksLandOnTheSameWidgetAtEveryScale) {
    for (QSize size : {QSize(200, 300), QSize(400, 300), QSize(1000, 600)}) {
        ResizeScreen(size.width(), size.height());
        int clicks = 0;
        auto c = QObject::connect(content->button, &QPushButton::clicked, [&] { ++clicks; });
        // The button's middle, and a point just left of it.
        QPoint inside = screen->FromContent(QPoint(140, 115));
        QPoint outside = screen->FromContent(QPoint(90, 115));
        QTest::mouseClick(screen->viewport(), Qt::LeftButton, {}, outside);
        EXPECT_EQ(clicks, 0) << size.width();
        QTest::mouseClick(screen->viewport(), Qt::LeftButton, {}, inside);
        EXPECT_EQ(clicks, 1) << size.width();
        EXPECT_LE((screen->ToContent(inside) - QPoint(140, 115)).manhattanLength(), 1);
        QObject::disconnect(c);
    }
}

TEST_F(ScaledFixture, ShowsTheDesignScaledBetweenBands) {
    ResizeScreen(200, 400);  // scale 0.5: 200 x 150 between bands above and below
    ASSERT_DOUBLE_EQ(screen->Scale(), 0.5);
    QImage shot = screen->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int band = (screen->viewport()->height() - 150) / 2;
    EXPECT_EQ(QColor(shot.pixel(100, band / 2)), QColor(Qt::black));
    EXPECT_EQ(QColor(shot.pixel(20, band + 10)), QColor(Qt::white));
    EXPECT_EQ(QColor(shot.pixel(160, band + 110)), QColor(Qt::red));  // the square at 150..170
    EXPECT_EQ(QColor(shot.pixel(100, band + 150 + 5)), QColor(Qt::black));
}

// Content that paints all of itself gets no fill beneath it: the bands alone are filled, and
// at any scale no pixel between band and content is left unpainted.
TEST_F(ScaledFixture, OpaqueContentAndBandsCoverEveryPixel) {
    content->setAttribute(Qt::WA_OpaquePaintEvent);
    for (QSize size : {QSize(333, 217), QSize(517, 300), QSize(401, 377)}) {
        ResizeScreen(size.width(), size.height());
        QWidget* viewport = screen->viewport();
        QImage shot(viewport->size(), QImage::Format_RGB32);
        shot.fill(Qt::magenta);  // what stays magenta, or tinted by it, was never painted
        viewport->render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
        int unpainted = 0;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                const QRgb p = shot.pixel(x, y);
                unpainted += qRed(p) > qGreen(p) + 40 && qBlue(p) > qGreen(p) + 40;
            }
        }
        EXPECT_EQ(unpainted, 0) << size.width() << "x" << size.height();
        EXPECT_EQ(QColor(shot.pixel(0, 0)), QColor(Qt::black)) << size.width();
        const QPoint middle = screen->FromContent(QPoint(20, 150));
        EXPECT_EQ(QColor(shot.pixel(middle)), QColor(Qt::white)) << size.width();
    }
}

TEST_F(ScaledFixture, KeysAndMnemonicsReachTheWindowAndTheButtons) {
    ResizeScreen(300, 300);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    content->button->setFocus();
    int clicks = 0;
    QObject::connect(content->button, &QPushButton::clicked, [&] { ++clicks; });
    // Keys go where the display sends them: to the view, which hands them to the scene.
    QTest::keyClick(screen, Qt::Key_3);
    EXPECT_EQ(window.keys, std::vector<int>{Qt::Key_3});
    QTest::keyClick(screen, Qt::Key_N, Qt::AltModifier);
    QTRY_COMPARE(clicks, 1);
    content->button->hide();  // a hidden button's mnemonic does nothing
    QTest::keyClick(screen, Qt::Key_N, Qt::AltModifier);
    QTest::qWait(200);
    EXPECT_EQ(clicks, 1);
}

// Every widget of the screen is reachable from the window's accessible interface, and leads
// back up to it.
TEST_F(ScaledFixture, TheContentIsPartOfTheAccessibilityTree) {
    QAccessibleInterface* top = QAccessible::queryAccessibleInterface(&window);
    std::function<QAccessibleInterface*(QAccessibleInterface*, int)> find =
        [&](QAccessibleInterface* node, int depth) -> QAccessibleInterface* {
        if (!node || depth > 8) return nullptr;
        if (node->object() == content->button) return node;
        for (int i = 0; i < node->childCount(); ++i)
            if (QAccessibleInterface* hit = find(node->child(i), depth + 1)) return hit;
        return nullptr;
    };
    QAccessibleInterface* button = find(top, 0);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(QAccessible::Name), "Next");
    EXPECT_EQ(button->role(), QAccessible::Button);
    QAccessibleInterface* up = button;
    int steps = 0;
    while (up && up->object() != &window && steps++ < 8) up = up->parent();
    ASSERT_NE(up, nullptr);
    EXPECT_EQ(up->object(), &window);
}

}  // namespace
