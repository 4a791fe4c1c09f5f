// The Qt side of stage objects: image controls laid over images, the panel control, gauges.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QMenu>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "EngineFixture.h"
#include "script/CustomCursors.h"
#include "script/ImageControl.h"
#include "windows/VerdictColour.h"

namespace script {
namespace {

class ControlsTest : public EngineFixture {
  protected:
    void SetUp() override {
        EngineFixture::SetUp();
        stage_ = std::make_unique<QWidget>();
        stage_->resize(200, 150);
        panel_ = new QWidget(stage_.get());
        panel_->setGeometry(5, 100, 60, 30);
        engine_->Bind(stage_.get(), panel_, &picture_);
        engine_->Start();
    }
    void TearDown() override {
        engine_.reset();
        stage_.reset();
        EngineFixture::TearDown();
    }
    // Direct children of the stage other than the panel and gauges: the image controls.
    std::vector<QWidget*> Controls() const {
        std::vector<QWidget*> out;
        for (QWidget* w : stage_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (w != panel_ && !qobject_cast<QSlider*>(w)) out.push_back(w);
        }
        return out;
    }
    std::unique_ptr<QWidget> stage_;
    QWidget* panel_ = nullptr;
};

TEST_F(ControlsTest, ImageControlFollowsItsObject) {
    WritePicture("P", 10, 8, Qt::red);
    WriteScript("CTL",
                ".lines off\nBmp \"P\", 20, 30 @ 1\nHint \"Pump\" @ 1\n"
                "MoveTo 40, 30, 10 @ 1\nSync\nSize 16, 12 @ 1\n");
    RunToEnd("CTL");
    ASSERT_EQ(Controls().size(), 1u);
    QWidget* c = Controls()[0];
    EXPECT_EQ(c, engine_->Find(kBmp, 1)->control.data());
    EXPECT_EQ(c->geometry(), QRect(40, 30, 12, 16));
    EXPECT_EQ(c->toolTip(), "Pump");
    WriteScript("OFF", ".lines off\nHideHint @ 1\n");
    RunToEnd("OFF");
    EXPECT_TRUE(c->toolTip().isEmpty());
    WriteScript("GONE", ".lines off\nClear @ 1\n");
    RunToEnd("GONE");
    EXPECT_TRUE(Controls().empty());
}

TEST_F(ControlsTest, CursorsOverObjectsComeFromTheTableOrTheFiftyCustomOnes) {
    WritePicture("P", 10, 8, Qt::red);
    WriteScript(
        "CUR",
        ".lines off\nBmp \"P\", 0, 0 @ 1\nBmp \"P\", 20, 0 @ 2\nBmp \"P\", 40, 0 @ 3\n"
        "SetCursor \"HOURGLASS\" @ 1\nSetCursor \"curs07\" @ 2\nSetCursor \"curs50\" @ 3\n");
    RunToEnd("CUR");
    EXPECT_TRUE(TraceLines("LDE# **error**").empty());
    EXPECT_EQ(engine_->Find(kBmp, 1)->control->cursor().shape(), Qt::WaitCursor);
    for (int id : {2, 3}) {
        const QCursor c = engine_->Find(kBmp, id)->control->cursor();
        EXPECT_EQ(c.shape(), Qt::BitmapCursor) << id;
        EXPECT_FALSE(c.pixmap().isNull()) << id;
    }
}

TEST(CustomCursors, FiftyDistinctPicturesAndNoOthers) {
    EXPECT_TRUE(CustomCursorImage(0).isNull());
    EXPECT_TRUE(CustomCursorImage(kCustomCursorCount + 1).isNull());
    std::vector<QImage> seen;
    for (int n = 1; n <= kCustomCursorCount; ++n) {
        const QImage image = CustomCursorImage(n);
        ASSERT_EQ(image.size(), QSize(32, 32)) << n;
        EXPECT_EQ(image.pixel(0, 0) >> 24, 0u) << "corner not transparent in " << n;
        for (size_t k = 0; k < seen.size(); ++k)
            EXPECT_NE(image, seen[k]) << n << " equals " << k + 1;
        seen.push_back(image);
    }
}

// A 20 x 20 object with the valve's menu (Open, Close) and one without a menu.
class MenuControlsTest : public ControlsTest {
  protected:
    void SetUp() override {
        ControlsTest::SetUp();
        config_.Set(data::kLanguage, "GB");
        WritePicture("P", 20, 20, Qt::red);
        WriteMessages("GB", "VALVE", {"Valve:main line", "header\nOpen\nClose"});
        WriteScript("TAG",
                    ".lines off\nBmp \"P\", 10, 10 @ 1\nTag \"VALVE\" @ 1\n"
                    "Bmp \"P\", 60, 10 @ 2\n");
        RunToEnd("TAG");
        valve = engine_->Find(kBmp, 1)->control;
        plain = engine_->Find(kBmp, 2)->control;
        stage_->show();
        stage_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(stage_.get()));
    }
    // Presses key on the focused object and, in the menu it opens, chooses the entry caption.
    void ChooseByKeys(QWidget* target, int key, Qt::KeyboardModifiers modifiers,
                      const QString& caption) {
        QTimer::singleShot(0, [caption] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            for (QAction* a : menu->actions())
                if (a->text() == caption) menu->setActiveAction(a);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::keyClick(target, Qt::Key(key), modifiers);
    }
    QWidget* valve = nullptr;
    QWidget* plain = nullptr;
};

TEST_F(MenuControlsTest, ObjectsWithAMenuAreTabStopsWhoseMenuOpensByKey) {
    EXPECT_EQ(valve->focusPolicy(), Qt::TabFocus);
    EXPECT_EQ(plain->focusPolicy(), Qt::NoFocus);
    valve->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(valve->hasFocus());
    struct Press {
        int key;
        Qt::KeyboardModifiers modifiers;
    };
    for (Press p : {Press{Qt::Key_Return, {}}, Press{Qt::Key_Enter, Qt::KeypadModifier},
                    Press{Qt::Key_Menu, {}}, Press{Qt::Key_F10, Qt::ShiftModifier}}) {
        host_.events.clear();
        ChooseByKeys(valve, p.key, p.modifiers, "Close");
        ASSERT_FALSE(host_.events.empty()) << p.key;
        EXPECT_EQ(host_.events.back(), "pick 1 2") << p.key;  // Close: the second line entry
    }
    host_.events.clear();
    QTest::keyClick(valve, Qt::Key_F10);  // without Shift: no menu
    QTest::keyClick(valve, Qt::Key_Space);
    EXPECT_TRUE(host_.events.empty());
}

TEST_F(MenuControlsTest, TheFocusedObjectShowsAFrameOnlyWhileFocused) {
    QPalette green = stage_->palette();
    green.setColor(QPalette::Window, Qt::green);
    stage_->setPalette(green);
    stage_->setAutoFillBackground(true);
    // White pixels over the object: the frame's dashes (nothing else on the stage is white).
    auto white = [this] {
        const QImage shot = stage_->grab(QRect(10, 10, 20, 20)).toImage();
        int n = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) n += QColor(shot.pixel(x, y)) == Qt::white;
        return n;
    };
    plain->setFocusPolicy(Qt::StrongFocus);
    for (int round = 0; round < 2; ++round) {
        valve->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        EXPECT_GT(white(), 20) << round;
        plain->setFocus();
        QApplication::processEvents();
        EXPECT_EQ(white(), 0) << round;
    }
}

// The focus frame reads on any stage: along every edge of the object it has a run of at least
// 2 pixels standing out from the stage by 3:1 or more.
TEST_F(MenuControlsTest, TheFocusFrameStandsOutOnAnyStage) {
    valve->setFocus(Qt::TabFocusReason);
    for (const QColor stage : {QColor(Qt::white), QColor(Qt::black), QColor(0x80, 0x80, 0x80),
                               QColor(Qt::red), QColor(Qt::green)}) {
        QPalette p = stage_->palette();
        p.setColor(QPalette::Window, stage);
        stage_->setPalette(p);
        stage_->setAutoFillBackground(true);
        QApplication::processEvents();
        const QImage shot = stage_->grab(QRect(10, 10, 20, 20)).toImage();
        auto stands_out = [&](int x, int y) {
            return windows::ContrastRatio(QColor(shot.pixel(x, y)), stage) >= 3.0;
        };
        for (int i = 4; i < 16; ++i) {
            // Left, right, top and bottom edges, each read from the outside in, away from the
            // corners.
            const std::pair<int, int> starts[] = {{0, i}, {19, i}, {i, 0}, {i, 19}};
            const std::pair<int, int> steps[] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
            for (int e = 0; e < 4; ++e) {
                int run = 0, best = 0;
                for (int k = 0; k < 5; ++k) {
                    const int x = starts[e].first + k * steps[e].first;
                    const int y = starts[e].second + k * steps[e].second;
                    run = stands_out(x, y) ? run + 1 : 0;
                    best = std::max(best, run);
                }
                EXPECT_GE(best, 2) << stage.name().toStdString() << " edge " << e << " at " << i;
            }
        }
    }
}

TEST_F(MenuControlsTest, ScreenReadersSeeAMenuButtonNamedByItsHint) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(valve);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::ButtonMenu);
    EXPECT_EQ(a->text(QAccessible::Name), "Valve");
    EXPECT_EQ(a->text(QAccessible::Description), "Valve, Open, Close");
    EXPECT_TRUE(a->state().focusable);
}

TEST_F(ControlsTest, PanelObjectDrivesThePanelControl) {
    const StageObject* panel = engine_->Find(kPanel, kPanelId);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->rec.x, 5);
    EXPECT_EQ(panel->rec.width, 60);
    WriteScript("PAN", ".lines off\nSetPos 15, 90 @ Panel\nSetWidth 80 @ Panel\nHide @ Panel\n");
    RunToEnd("PAN");
    EXPECT_EQ(panel_->geometry(), QRect(15, 90, 80, 30));
    EXPECT_TRUE(panel_->isHidden());
}

TEST_F(ControlsTest, GaugesAreSlidersOnTheStageAtMostFive) {
    WritePicture("P", 4, 4, Qt::red);
    std::string src = ".lines off\n";
    for (int id = 1; id <= 6; ++id) {
        src += "Bmp \"P\", 0, 0 @ " + std::to_string(id) + "\nGaugeCreateH 10, " +
               std::to_string(id * 20) + ", 120, 0 @ " + std::to_string(id) + "\n";
    }
    src += "GaugeTrackBar 0, 50, 20 @ 2\nGaugeDelete @ 3\n";
    WriteScript("GAUGE", src);
    RunToEnd("GAUGE");
    auto sliders = stage_->findChildren<QSlider*>();
    ASSERT_EQ(sliders.size(), 4);  // five made, one deleted, the sixth refused
    QSlider* shown = nullptr;
    for (QSlider* s : sliders) {
        if (!s->isHidden()) shown = s;
    }
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->geometry(), QRect(10, 40, 120, 30));
    EXPECT_EQ(shown->maximum(), 50);
    EXPECT_EQ(shown->value(), 20);
    EXPECT_EQ(engine_->Gauges()[1].position, 20);
}

}  // namespace
}  // namespace script

int main(int argc, char** argv) {
    // Test discovery runs this binary outside CTest's environment too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
