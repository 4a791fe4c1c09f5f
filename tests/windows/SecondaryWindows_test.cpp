#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <cstring>

#include <QVideoWidget>
#include "data/Course.h"
#include "platform/Path.h"
#include "support/CourseFolder.h"
#include "support/QtTestEnvironment.h"
#include "windows/SoundPlayer.h"
#include "windows/StandardBoxes.h"
#include "windows/TAVIview.h"
#include "windows/TEditView.h"
#include "windows/TStat.h"
#include "windows/TWinBox.h"
#include "windows/TWinSplash.h"
#include "windows/VerdictColour.h"

namespace windows {
namespace {

std::vector<uint8_t> UserRecord(const char* name) {
    std::vector<uint8_t> record(148, 0);
    std::memcpy(record.data() + 12, name, std::min<size_t>(std::strlen(name), 24));
    return record;
}

TEST(IdentityTest, TypedNameMustEqualTheStoredNameByteForByte) {
    struct Case {
        const char* typed;
        const char* stored;
        bool match;
    };
    const Case cases[] = {
        {"DUPONT", "DUPONT", true},
        {"DUPONT", "Dupont", false},
        {"DUPON", "DUPONT", false},
        {"DUPONTS", "DUPONT", false},
        {"", "", true},
        {"X", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IdentityMatches(c.typed, UserRecord(c.stored)), c.match) << c.typed;
    // A name filling all 24 bytes (no NUL) is compared over the field only.
    auto full = UserRecord("ABCDEFGHIJKLMNOPQRSTUVWX");
    full[36] = 'Z';  // the next field
    EXPECT_TRUE(IdentityMatches("ABCDEFGHIJKLMNOPQRSTUVWX", full));
    // A truncated record never matches.
    EXPECT_FALSE(IdentityMatches("", std::vector<uint8_t>(20, 0)));
}

class EditViewTest : public ::testing::Test {
  protected:
    // Types text into the shown window, then runs after (once the keys are processed).
    void TypeThen(const char* typed, std::function<void()> after) {
        QTimer::singleShot(0, &view_, [this, typed, after] {
            QTest::keyClicks(view_.Edit(), typed);
            after();
        });
    }
    support::CourseFolder folder_;
    SoundPlayer sounds_{folder_.Course(), std::make_unique<RecordingSoundBackend>()};
    TWinBox box_{folder_.Course(), sounds_};
    TEditView view_{folder_.Course(), box_};
};

TEST_F(EditViewTest, LowerCaseInputConfirmsAnUpperCaseName) {
    auto record = UserRecord("MARTIN");
    QString shown;
    TypeThen("martin", [&] {
        shown = view_.Edit()->text();
        view_.BitBtn1()->click();
    });
    EXPECT_EQ(view_.ConfirmIdentity(record), kResultYes);
    EXPECT_EQ(shown, "MARTIN");
}

TEST_F(EditViewTest, CancelEscapeAndLongInput) {
    auto record = UserRecord("MARTIN");
    TypeThen("martin", [&] { view_.BitBtn2()->click(); });
    EXPECT_EQ(view_.ConfirmIdentity(record), kResultNo);
    TypeThen("martin", [&] { QTest::keyClick(&view_, Qt::Key_Escape); });
    EXPECT_EQ(view_.ConfirmIdentity(record), kResultNo);
    // Input stops at 20 characters; the window opens with an empty field.
    QString shown;
    TypeThen("abcdefghijklmnopqrstuvwxyz", [&] {
        shown = view_.Edit()->text();
        view_.BitBtn2()->click();
    });
    view_.ConfirmIdentity(record);
    EXPECT_EQ(shown, "ABCDEFGHIJKLMNOPQRST");
}

TEST_F(EditViewTest, WrongNameShowsAnErrorAndKeepsTheWindowOpen) {
    auto record = UserRecord("Martin");  // lower-case letters can never be typed
    bool box_shown = false, still_open = false;
    TypeThen("martin", [&] {
        QTimer::singleShot(0, &box_, [&] {
            box_shown = box_.isVisible();
            box_.BitBtn(0)->click();
        });
        view_.BitBtn1()->click();  // returns once the error box is confirmed
        still_open = view_.isVisible();
        view_.BitBtn2()->click();
    });
    EXPECT_EQ(view_.ConfirmIdentity(record), kResultNo);
    EXPECT_TRUE(box_shown);
    EXPECT_TRUE(still_open);
}

TEST(AviLayoutTest, PanelsFollowTheClipSize) {
    AviLayout l = LayoutAviView(QSize(320, 240), 34, 200);
    EXPECT_EQ(l.panel1, QRect(10, 10, 320, 240));
    EXPECT_EQ(l.panel2.top(), 10 + 240 + 15);
    EXPECT_EQ(l.panel2.width(), 320);
    EXPECT_EQ(l.window, QSize(340, 240 + 34 + 50));
    EXPECT_EQ(l.controls_left, 60);
    // Before the size is known, a default display keeps the window usable.
    l = LayoutAviView(QSize(), 34, 200);
    EXPECT_GT(l.panel1.width(), 0);
    EXPECT_GT(l.panel1.height(), 0);
}

TEST(AviViewTest, OnlyALoopingClipRestartsAtItsEnd) {
    TAVIview view;
    view.PlayVideo(40, 30, TAVIview::kLoopOption, "AVI\\NONE.AVI");
    EXPECT_TRUE(view.isVisible());
    EXPECT_EQ(view.pos(), QPoint(40, 30));
    EXPECT_TRUE(view.Looping());
    int starts = view.PlayCount();
    view.MediaPlayerNotify();
    view.MediaPlayerNotify();
    EXPECT_EQ(view.PlayCount(), starts + 2);

    view.PlayVideo(0, 0, 1, "AVI\\NONE.AVI");
    EXPECT_FALSE(view.Looping());
    starts = view.PlayCount();
    view.MediaPlayerNotify();
    EXPECT_EQ(view.PlayCount(), starts);

    // Closing the window ends the loop.
    view.PlayVideo(0, 0, TAVIview::kLoopOption, "AVI\\NONE.AVI");
    view.close();
    starts = view.PlayCount();
    view.MediaPlayerNotify();
    EXPECT_EQ(view.PlayCount(), starts);
}

// A real clip: its size lays out the window, and with LOOP it restarts at each end.
TEST(AviViewTest, RealClipLoopsAndSizesTheWindow) {
    TAVIview view;
    view.PlayVideo(10, 10, TAVIview::kLoopOption, TEST_CLIP);
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.PlayCount() >= 3; }, 20000))
        << "plays: " << view.PlayCount();
    EXPECT_TRUE(QTest::qWaitFor([&] { return view.Panel1()->size() == QSize(160, 120); }, 5000));
    EXPECT_EQ(view.size(), QSize(180, 120 + view.Panel2()->height() + 50));
    view.close();
}

TEST(StatTest, AskingEnablesTheTrackBarAndHidesTheComment) {
    data::Course course("/nonexistent/PLAYER");
    TStat stat(course);
    EXPECT_EQ(stat.size(), QSize(321, 247));
    EXPECT_EQ(stat.Answer(), 50);
    stat.SetAsking(true);
    EXPECT_TRUE(stat.TrackBar()->isEnabled());
    EXPECT_EQ(stat.height(), 247 - 65 - 5);
    stat.TrackBar()->setValue(70);
    stat.SetAsking(false);
    EXPECT_FALSE(stat.TrackBar()->isEnabled());
    EXPECT_EQ(stat.height(), 247);
    EXPECT_EQ(stat.Answer(), 70);
}

// After an answer the window shows the answered step's texts and verdict, whatever it asked
// before, in colours that read on its background, and keeps that caption when shown.
TEST(StatTest, AnAnswerShowsItsOwnStepVerdictAndCaption) {
    data::Course course("/nonexistent/PLAYER");
    TStat stat(course);
    stat.SetQuestion("Estimate the level", "0 to 100 %");
    for (bool right : {true, false}) {
        stat.SetAnswer({right ? "Right" : "Wrong", "Prime the pump", "Open the vent cock",
                        right ? "Right! You earn 20 points." : "Wrong", right ? "primed" : "not so",
                        right, false});
        stat.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&stat));
        EXPECT_EQ(stat.windowTitle(), right ? "Right" : "Wrong");
        EXPECT_EQ(stat.Titre()->text(), "Prime the pump");
        EXPECT_EQ(stat.Texte()->toPlainText(), "Open the vent cock");
        EXPECT_EQ(stat.InfoText()->toPlainText(), right ? "primed" : "not so");
        EXPECT_EQ(stat.GroupBox()->title(), right ? "Right! You earn 20 points." : "Wrong");
        const QColor shown = stat.GroupBox()->palette().color(QPalette::WindowText);
        EXPECT_EQ(shown, VerdictColour(right)) << shown.name().toStdString();
        EXPECT_GE(ContrastRatio(shown, stat.palette().color(QPalette::Window)), 4.5);
        EXPECT_FALSE(stat.TrackBar()->isVisible()) << "a pick has no slider";
        stat.hide();
    }
}

// Placed clear of the stage's objects, the window shows where it was put, once.
TEST(StatTest, APlacedWindowShowsWhereItWasPut) {
    data::Course course("/nonexistent/PLAYER");
    TStat stat(course);
    stat.PlaceAt(QPoint(40, 50));
    QPoint shown;
    QTimer::singleShot(0, &stat, [&] {
        shown = stat.pos();
        stat.accept();
    });
    stat.ShowModal();
    EXPECT_EQ(shown, QPoint(40, 50));
}

TEST(StatTest, TheTrackBarTakesTheArrowKeysWhenAsking) {
    data::Course course("/nonexistent/PLAYER");
    TStat stat(course);
    stat.SetQuestion("Flow", "How far is the valve open?");
    stat.SetAsking(true);
    stat.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&stat));
    ASSERT_EQ(QApplication::focusWidget(), stat.TrackBar());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
    EXPECT_EQ(stat.Answer(), 60);
    EXPECT_EQ(stat.TrackBar()->accessibleName(), "Flow");
    stat.close();
}

TEST(WindowNotifierTest, SystemErrorsAreCaptionedWithTheSystemText) {
    std::vector<std::string> shown;
    WindowNotifier notifier([&](BoxKind kind, const std::string& caption, const std::string& text) {
        shown.push_back(std::string(kind == BoxKind::Error ? "error|" : "info|") + caption + "|" +
                        text);
    });
    notifier.ShowSystemError("MSG\\GB\\COMMON.MSG", 2);
    notifier.ShowError("MSGBOX", "Picture missing: BMP\\X.BMP");
    notifier.ShowMessage("Title", "Body ?:\\DATA\\DEMO\\FR\\USERS");
    ASSERT_EQ(shown.size(), 3u);
    // Files are named as Linux paths, relative to the course folder.
    EXPECT_EQ(shown[0], "error|" + platform::SystemErrorText(2) + "|MSG/GB/COMMON.MSG");
    EXPECT_EQ(shown[1], "error|MSGBOX|Picture missing: BMP/X.BMP");
    EXPECT_EQ(shown[2], "info|Title|Body DATA/DEMO/FR/USERS");
}

TEST(SplashTest, ClosesAndDeletesItself) {
    QPointer<TWinSplash> splash = new TWinSplash;
    EXPECT_EQ(splash->Timer1()->interval(), 4000);
    EXPECT_TRUE(splash->Timer1()->isActive());
    splash->show();
    splash->Timer1()->start(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return splash.isNull(); }, 5000));
}

}  // namespace
}  // namespace windows
