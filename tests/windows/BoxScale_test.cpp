#include <gtest/gtest.h>

#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>

#include "support/QtTestEnvironment.h"
#include "windows/BoxFit.h"
#include "windows/BoxScaler.h"
#include "windows/FormScale.h"
#include "windows/ScaledScreen.h"

namespace windows {
namespace {

TEST(BoxFitTest, TheMainWindowsScaleLoweredUntilTheBoxFits) {
    struct Case {
        const char* what;
        double screen_scale;
        int design_w, design_h, frame_w, frame_h, room_w, room_h;
        double scale;
    };
    const Case cases[] = {
        {"4K at 200 %, full screen", 1.5, 600, 380, 0, 30, 1920, 1080, 1.5},
        {"1280x720, stage shrunk", 0.9, 600, 380, 0, 30, 1280, 690, 0.9},
        {"larger than the room allows", 3.0, 600, 380, 0, 30, 1920, 1080, 1050.0 / 380},
        {"too wide for a small room", 1.0, 600, 380, 10, 30, 400, 690, 390.0 / 600},
        {"a scale close to 1 is 1", 0.995, 281, 112, 0, 0, 1280, 720, 1.0},
        {"just above 1 too", 1.006, 281, 112, 0, 0, 1280, 720, 1.0},
        {"no main window: unscaled", 0.0, 281, 112, 0, 0, 1280, 720, 1.0},
        {"not a number", std::nan(""), 281, 112, 0, 0, 1280, 720, 1.0},
        {"no room known", 2.0, 281, 112, 0, 0, 0, 0, 2.0},
        {"an empty box", 2.0, 0, 0, 0, 0, 800, 600, 2.0},
    };
    for (const Case& c : cases) {
        const double s = BoxScale(c.screen_scale, c.design_w, c.design_h, c.frame_w, c.frame_h,
                                  c.room_w, c.room_h);
        EXPECT_DOUBLE_EQ(s, c.scale) << c.what;
        if (c.room_w > 0) {  // the box as the widgets round it, with its frame, on the display
            EXPECT_LE(std::lround(c.design_w * s) + c.frame_w, c.room_w) << c.what;
            EXPECT_LE(std::lround(c.design_h * s) + c.frame_h, c.room_h) << c.what;
        }
    }
}

// The estimate window on the demo's stage (1008 x 749) hides none of what the step's script
// drew: the tank's level (and so the scale beside it), the gauge's needle and lamp.
TEST(BoxFitTest, TheStatisticsWindowIsPlacedClearOfTheStageObjects) {
    struct Case {
        const char* what;
        std::vector<BoxRect> objects;
        int left, top;
    };
    const Case cases[] = {
        {"tank level on the left: against the right edge", {{62, 120, 236, 400}}, 679, 236},
        {"needle on the right: against the left edge", {{670, 205, 160, 200}}, 8, 236},
        {"both sides taken: against the bottom",
         {{62, 120, 236, 400}, {700, 150, 300, 400}},
         343,
         464},
        {"the middle rows taken: bottom right corner",
         {{0, 200, 1008, 260}, {300, 470, 350, 279}, {300, 0, 400, 200}},
         679,
         464},
        {"nothing drawn: against the right edge", {}, 679, 236},
    };
    for (const Case& c : cases) {
        const BoxRect at = PlaceClearOf(321, 277, 1008, 749, c.objects);
        EXPECT_EQ(at.left, c.left) << c.what;
        EXPECT_EQ(at.top, c.top) << c.what;
        EXPECT_EQ(at.width, 321) << c.what;
    }
    // Everything taken: the place that hides least, on the stage.
    const BoxRect at = PlaceClearOf(321, 277, 1008, 749, {{0, 0, 1008, 749}, {0, 0, 500, 749}});
    EXPECT_GE(at.left, 500) << "the right half is hidden once only";
}

TEST(BoxFitTest, CentredOverTheMainWindowAndAlwaysOnTheDisplay) {
    struct Case {
        const char* what;
        int w, h;
        BoxRect over;
        bool centred;
        BoxRect at;  // a kept box's own place
        int left, top;
    };
    const BoxRect room{0, 30, 1280, 690};
    const Case cases[] = {
        {"centred over the window", 200, 100, {100, 100, 800, 600}, true, {}, 400, 350},
        {"window off the right edge", 400, 200, {1000, 100, 800, 600}, true, {}, 880, 300},
        {"window above the display", 200, 100, {100, -500, 400, 400}, true, {}, 200, 30},
        {"no window: the display's centre", 200, 100, {}, true, {}, 540, 325},
        {"larger than the display: caption first", 1400, 800, {0, 30, 1280, 690}, true, {}, 0, 30},
        {"kept where placed", 200, 100, {}, false, {50, 60, 200, 100}, 50, 60},
        {"placed past the corner", 200, 100, {}, false, {1200, 700, 200, 100}, 1080, 620},
    };
    for (const Case& c : cases) {
        const BoxRect r = c.centred ? CentreBox(c.w, c.h, c.over, room) : KeepInRoom(c.at, room);
        EXPECT_EQ(r.left, c.left) << c.what;
        EXPECT_EQ(r.top, c.top) << c.what;
        EXPECT_EQ(r.width, c.w) << c.what;
        EXPECT_EQ(r.height, c.h) << c.what;
    }
}

// A form at fixed design coordinates: a caption in a 12-pixel font, an icon, a button and a
// group box holding a label.
struct DesignForm : QDialog {
    QLabel* caption = new QLabel("Caption", this);
    QLabel* icon = new QLabel(this);
    QPushButton* button = new QPushButton("&Go", this);
    QGroupBox* group = new QGroupBox("Group", this);
    QLabel* inner = new QLabel("x", group);
    explicit DesignForm(QWidget* parent = nullptr) : QDialog(parent) {
        setFixedSize(120, 80);
        QFont f = caption->font();
        f.setPixelSize(12);
        caption->setFont(f);
        caption->setGeometry(10, 10, 60, 20);
        QPixmap red(16, 16);
        red.fill(Qt::red);
        icon->setPixmap(red);
        icon->setGeometry(80, 5, 16, 16);
        button->setGeometry(10, 40, 60, 25);
        button->setIconSize(QSize(16, 16));
        group->setGeometry(75, 30, 40, 40);
        inner->setGeometry(5, 15, 30, 20);
        connect(button, &QPushButton::clicked, this, &QDialog::accept);
    }
};

TEST(FormScaleTest, PlacesFontsPicturesAndLimitsScaleAndComeBack) {
    DesignForm form;
    const double app_font = form.font().pointSizeF();
    FormScale design(&form);
    design.Apply(2.0);
    EXPECT_EQ(form.size(), QSize(240, 160));
    EXPECT_EQ(form.minimumSize(), QSize(240, 160));  // a fixed size stays fixed
    EXPECT_EQ(form.maximumSize(), QSize(240, 160));
    EXPECT_EQ(form.caption->geometry(), QRect(20, 20, 120, 40));
    EXPECT_EQ(form.caption->font().pixelSize(), 24);
    EXPECT_DOUBLE_EQ(form.button->font().pointSizeF(), 2 * app_font);  // inherited
    EXPECT_EQ(form.icon->pixmap().size(), QSize(32, 32));
    EXPECT_EQ(form.button->geometry(), QRect(20, 80, 120, 50));
    EXPECT_EQ(form.button->iconSize(), QSize(32, 32));
    EXPECT_EQ(form.inner->geometry(), QRect(10, 30, 60, 40));  // inside the group box

    design.Apply(1.5);  // always from the design, never from the last scale
    EXPECT_EQ(form.button->geometry(), QRect(15, 60, 90, 38));

    design.Apply(1.0);
    EXPECT_EQ(form.size(), QSize(120, 80));
    EXPECT_EQ(form.button->geometry(), QRect(10, 40, 60, 25));
    EXPECT_EQ(form.caption->font().pixelSize(), 12);
    EXPECT_EQ(form.icon->pixmap().size(), QSize(16, 16));
    EXPECT_FALSE(form.testAttribute(Qt::WA_SetFont));  // inherits the application's font again
}

TEST(FormScaleTest, LayoutsAndListColumnsScale) {
    QWidget form;
    auto* layout = new QVBoxLayout(&form);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->setSpacing(6);
    auto* list = new QTreeWidget(&form);
    list->setColumnCount(3);
    list->setIconSize(QSize(16, 16));
    list->setIndentation(10);
    list->header()->setMinimumSectionSize(20);
    list->header()->setSectionResizeMode(0, QHeaderView::Fixed);
    list->header()->resizeSection(0, 20);
    list->header()->resizeSection(1, 100);
    layout->addWidget(list);
    layout->addWidget(new QLabel("status", &form));
    form.resize(300, 200);

    FormScale design(&form);
    design.Apply(2.0);
    EXPECT_EQ(layout->contentsMargins(), QMargins(8, 8, 8, 0));
    EXPECT_EQ(layout->spacing(), 12);
    EXPECT_EQ(list->iconSize(), QSize(32, 32));
    EXPECT_EQ(list->indentation(), 20);
    EXPECT_EQ(list->header()->sectionSize(0), 40);
    EXPECT_EQ(list->header()->sectionSize(1), 200);
    EXPECT_EQ(form.size(), QSize(600, 400));
    design.Apply(1.0);
    EXPECT_EQ(layout->contentsMargins(), QMargins(4, 4, 4, 0));
    EXPECT_EQ(list->header()->sectionSize(1), 100);
}

// A splitter's panes keep their share: a pane of names grows with its font instead of giving
// all the room to the other pane.
TEST(FormScaleTest, SplitterPanesScale) {
    QWidget form;
    auto* layout = new QVBoxLayout(&form);
    auto* splitter = new QSplitter(&form);
    splitter->addWidget(new QTreeWidget);
    splitter->addWidget(new QTreeWidget);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter);
    form.resize(400, 200);
    splitter->setSizes({100, 280});
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QList<int> design_sizes = splitter->sizes();

    FormScale design(&form);
    design.Apply(3.0);
    QApplication::processEvents();
    EXPECT_NEAR(splitter->sizes()[0], 3 * design_sizes[0], 4) << splitter->sizes()[0];
    design.Apply(1.0);
    QApplication::processEvents();
    EXPECT_NEAR(splitter->sizes()[0], design_sizes[0], 2);
}

// A main window whose 100 x 75 stage is shown at scale 2 (a widget on it, for menus).
struct MainWindowFixture : ::testing::Test {
    QMainWindow window;
    QWidget* stage = new QWidget;
    QWidget* on_stage = new QWidget(stage);
    ScaledScreen* screen = new ScaledScreen(stage, QSize(100, 75));
    void SetUp() override {
        window.setCentralWidget(screen);
        window.move(100, 100);
        ShowAt(QSize(200, 150));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        ASSERT_DOUBLE_EQ(screen->Scale(), 2.0);
    }
    void ShowAt(QSize size) {
        window.resize(size);
        window.show();
        QApplication::processEvents();
    }
    QRect Display() const { return window.screen()->availableGeometry(); }
};

TEST_F(MainWindowFixture, ABoxIsShownScaledCentredAndClickableThenBackAtDesign) {
    DesignForm box(&window);
    ScaleWithMainWindow(&box);
    QRect shown, button;
    QFont font;
    QTimer::singleShot(0, &box, [&] {
        shown = box.geometry();
        button = box.button->geometry();
        font = box.caption->font();
        // A point of the scaled button that lies outside its design place.
        ASSERT_FALSE(QRect(10, 40, 60, 25).contains(100, 100));
        // Through the box's window, as the display delivers a click.
        QTest::mouseClick(box.windowHandle(), Qt::LeftButton, {}, QPoint(100, 100));
        QTimer::singleShot(1000, &box, &QDialog::reject);  // a missed click fails, not hangs
    });
    EXPECT_EQ(box.exec(), QDialog::Accepted);
    EXPECT_EQ(shown.size(), QSize(240, 160));
    EXPECT_EQ(button, QRect(20, 80, 120, 50));
    EXPECT_EQ(font.pixelSize(), 24);
    EXPECT_LE((shown.center() - window.geometry().center()).manhattanLength(), 2);
    EXPECT_TRUE(Display().contains(shown));
    // Hidden, the box is at its design for its own code.
    EXPECT_EQ(box.size(), QSize(120, 80));
    EXPECT_EQ(box.button->geometry(), QRect(10, 40, 60, 25));
}

TEST_F(MainWindowFixture, AShownBoxFollowsTheMainWindowAndStaysOnTheDisplay) {
    // Without a parent: the box finds the visible main window.
    DesignForm box;
    BoxScaler* scaler = ScaleWithMainWindow(&box);
    box.setFixedSize(300, 200);
    box.show();
    QApplication::processEvents();
    EXPECT_DOUBLE_EQ(scaler->Scale(), 2.0);
    EXPECT_EQ(box.size(), QSize(600, 400));

    // Full screen: the stage grows to 8 times, the box only as far as the display allows.
    ShowAt(Display().size());
    QTRY_VERIFY(scaler->Scale() < 8.0 && scaler->Scale() > 2.0);
    EXPECT_GT(screen->Scale(), 7.0);
    EXPECT_TRUE(Display().contains(box.frameGeometry())) << box.frameGeometry().width();
    const QSize frame = box.frameGeometry().size();  // the box fills the display's width
    EXPECT_GE(std::max(frame.width(), frame.height() * 3 / 2), Display().width() - 1);
    box.hide();
    EXPECT_DOUBLE_EQ(scaler->Scale(), 1.0);
    EXPECT_EQ(box.size(), QSize(300, 200));
}

TEST_F(MainWindowFixture, AMenuFromTheStageTakesTheStagesScale) {
    QMenu menu;
    menu.addAction("Open the valve");
    const QFont design = menu.font();
    ScaleMenu(menu, on_stage);
    EXPECT_DOUBLE_EQ(menu.font().pointSizeF(), 2 * design.pointSizeF());
}

}  // namespace
}  // namespace windows
