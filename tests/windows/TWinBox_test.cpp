#include "windows/TWinBox.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <functional>

#include "support/CourseFolder.h"
#include "support/QtTestEnvironment.h"
#include "support/RecordingNotifier.h"
#include "windows/ScaledScreen.h"
#include "windows/SoundPlayer.h"

namespace windows {
namespace {

using support::CourseFolder;

class TWinBoxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto rec = std::make_unique<RecordingSoundBackend>();
        sounds_ = rec.get();
        player_ = std::make_unique<SoundPlayer>(course_.Course(), std::move(rec));
        course_.Course().SetNotifier(&notes_);
        box_ = std::make_unique<TWinBox>(course_.Course(), *player_);
    }
    void TearDown() override {
        box_.reset();
        course_.Course().SetNotifier(nullptr);
    }

    // Runs action on the box once it is shown modally (with its geometry as shown).
    void WhenShown(std::function<void(TWinBox&)> action) {
        QTimer::singleShot(0, box_.get(), [this, action] { action(*box_); });
    }
    void ClickWhenShown(int button) {
        WhenShown([button](TWinBox& b) { b.BitBtn(button)->click(); });
    }

    CourseFolder course_;
    data::ConfigTable& config_ = course_.Course().Config();
    data::OptionFlags& flags_ = course_.Course().Flags();
    std::unique_ptr<SoundPlayer> player_;
    RecordingSoundBackend* sounds_ = nullptr;
    support::RecordingNotifier notes_;  // the error boxes the box and the sounds report
    std::unique_ptr<TWinBox> box_;
};

TEST_F(TWinBoxTest, EachButtonReturnsItsResultWithItsCaption) {
    struct Case {
        int set;
        int button;  // BitBtn index pressed
        const char* caption;
        int result;
    };
    const Case cases[] = {
        {kButtonYes, 0, "Yes", kResultYes},
        {kButtonNo, 0, "No", kResultNo},
        {kButtonOk, 0, "OK", kResultOk},
        {kButtonIgnore, 0, "Ignore", kResultIgnore},
        {kButtonCancel, 0, "Cancel", kResultCancel},
        {kButtonRetry, 0, "Retry", kResultRetry},
        {kButtonAbort, 0, "Abort", kResultAbort},
        {kButtonsYesNo, 1, "Yes", 6},
        {kButtonsYesNo, 2, "No", 7},
        {kButtonsOkCancel, 1, "OK", 1},
        {kButtonsOkCancel, 2, "Cancel", 2},
        {kButtonsYesNoCancel, 1, "Yes", 6},
        {kButtonsYesNoCancel, 0, "No", 7},
        {kButtonsYesNoCancel, 2, "Cancel", 2},
        {kButtonsAbortRetryIgnore, 1, "Abort", 3},
        {kButtonsAbortRetryIgnore, 0, "Retry", 4},
        {kButtonsAbortRetryIgnore, 2, "Ignore", 5},
    };
    for (const Case& c : cases) {
        QString caption;
        WhenShown([&](TWinBox& b) {
            caption = b.BitBtn(c.button)->text();
            EXPECT_FALSE(b.BitBtn(c.button)->isHidden());
            b.BitBtn(c.button)->click();
        });
        int result = box_->Ask("Question?", "Title", nullptr, 0, kIconQuestion, c.set);
        EXPECT_EQ(result, c.result) << "set " << c.set << " button " << c.button;
        EXPECT_EQ(caption.toStdString(), c.caption) << "set " << c.set;
    }
    EXPECT_EQ(box_->windowTitle().toStdString(), "Title");
}

TEST_F(TWinBoxTest, EscapeAnswersCancelOrNo) {
    for (int set : {kButtonsYesNo, kButtonsOkCancel, kButtonsYesNoCancel, kButtonOk}) {
        WhenShown([](TWinBox& b) {
            QTest::keyClick(&b, Qt::Key_Escape);
            // A box without Cancel or No stays open: confirm it.
            if (b.isVisible()) b.BitBtn(0)->click();
        });
        int result = box_->Ask("?", "", nullptr, 0, 0, set);
        int want = set == kButtonsYesNo ? kResultNo : set == kButtonOk ? kResultOk : kResultCancel;
        EXPECT_EQ(result, want) << set;
    }
}

TEST_F(TWinBoxTest, LabelWidthFollowsTheTextUpTo550Pixels) {
    QFontMetrics fm(box_->Label()->font());
    QString medium(8, QChar('W'));
    while (fm.horizontalAdvance(medium) < 300) medium += 'W';
    QString wide = medium;
    while (fm.horizontalAdvance(wide) < 700) wide += 'W';

    struct Case {
        QString text;
        int width;
        bool taller;
    };
    const Case cases[] = {
        {"Short", 215, false},
        {medium, fm.horizontalAdvance(medium), false},
        {wide, 215, true},  // too wide: the label keeps its width and the line wraps
        {medium + "\n" + wide, fm.horizontalAdvance(medium), true},
    };
    for (const Case& c : cases) {
        QRect label, bevel;
        QSize client;
        WhenShown([&](TWinBox& b) {
            label = b.Label()->geometry();
            bevel = b.Bevel()->geometry();
            client = b.size();
            b.BitBtn(0)->click();
        });
        box_->Ask(c.text.toStdString(), "", nullptr, 0, 0, kButtonOk);
        EXPECT_EQ(label.width(), c.width) << c.text.size();
        EXPECT_EQ(label.height() > 40, c.taller) << c.text.size();
        EXPECT_EQ(bevel.width(), label.width() + 51);
        EXPECT_EQ(bevel.height(), label.height() + 17);
        EXPECT_EQ(client.width(), bevel.width() + 16);
        EXPECT_EQ(client.height(), bevel.height() + 16 + 25 + 8);
    }
}

TEST_F(TWinBoxTest, IconsAndSoundsComeFromTheCourse) {
    QImage shown;
    WhenShown([&](TWinBox& b) {
        shown = b.Image()->pixmap().toImage();
        b.BitBtn(0)->click();
    });
    box_->Ask("Oops", "", nullptr, 0, kIconError, kButtonOk);
    EXPECT_EQ(shown.pixelColor(5, 5), QColor(255, 0, 0));
    EXPECT_EQ(sounds_->PlayedPaths(), (std::vector<std::string>{course_.Path("SND/ERROR.WAV"),
                                                                course_.Path("SND/CLOSE.WAV")}));

    // A picture and a sound number given by the caller replace the icon's.
    sounds_->Clear();
    WhenShown([&](TWinBox& b) {
        shown = b.Image()->pixmap().toImage();
        b.BitBtn(0)->click();
    });
    box_->Ask("Look", "", "WIDE", 7, kIconInformation, kButtonOk);
    EXPECT_EQ(shown.size(), QSize(120, 40));
    EXPECT_EQ(sounds_->PlayedPaths(), (std::vector<std::string>{course_.Path("SND/START.WAV"),
                                                                course_.Path("SND/CLOSE.WAV")}));

    // No icon and no sound: the sound still playing is stopped.
    sounds_->Clear();
    ClickWhenShown(0);
    box_->Ask("Plain", "", nullptr, 0, 0, kButtonOk);
    ASSERT_FALSE(sounds_->calls().empty());
    EXPECT_TRUE(sounds_->calls().front().stop);
}

// Without its texts (no MSGBOX file for the language) the box still has words on its buttons and
// the icon of its kind: an error is not shown with the information icon.
TEST_F(TWinBoxTest, WithoutItsTextsTheBoxFallsBackToEnglishAndTheRightIcon) {
    config_.Set(data::kLanguage, "XX");
    struct Case {
        int set;
        std::vector<int> shown;  // BitBtn indexes
        std::vector<const char*> captions;
    };
    const Case cases[] = {
        {kButtonOk, {0}, {"OK"}},
        {kButtonCancel, {0}, {"Cancel"}},
        {kButtonsYesNo, {1, 2}, {"Yes", "No"}},
        {kButtonsAbortRetryIgnore, {1, 0, 2}, {"Abort", "Retry", "Ignore"}},
    };
    for (const Case& c : cases) {
        std::vector<QString> captions;
        WhenShown([&](TWinBox& b) {
            for (int i : c.shown) captions.push_back(b.BitBtn(i)->text());
            b.BitBtn(c.shown.front())->click();
        });
        box_->Ask("Display error", "", nullptr, 0, kIconError, c.set);
        ASSERT_EQ(captions.size(), c.captions.size()) << c.set;
        for (size_t i = 0; i < captions.size(); ++i)
            EXPECT_EQ(captions[i], QString(c.captions[i])) << c.set;
    }
    const std::pair<int, QStyle::StandardPixmap> icons[] = {
        {kIconError, QStyle::SP_MessageBoxCritical},
        {kIconWarning, QStyle::SP_MessageBoxWarning},
        {kIconQuestion, QStyle::SP_MessageBoxQuestion},
        {kIconInformation, QStyle::SP_MessageBoxInformation},
    };
    for (const auto& [icon, standard] : icons) {
        QImage shown;
        WhenShown([&](TWinBox& b) {
            shown = b.Image()->pixmap().toImage();
            b.BitBtn(0)->click();
        });
        box_->Ask("Display error", "", nullptr, 0, icon, kButtonOk);
        EXPECT_EQ(shown, box_->style()->standardIcon(standard).pixmap(32, 32).toImage()) << icon;
    }
    // Each kind's icon is its own.
    QImage error, information;
    for (auto [icon, image] : {std::pair{kIconError, &error}, {kIconInformation, &information}}) {
        WhenShown([&, image = image](TWinBox& b) {
            *image = b.Image()->pixmap().toImage();
            b.BitBtn(0)->click();
        });
        box_->Ask("?", "", nullptr, 0, icon, kButtonOk);
    }
    EXPECT_NE(error, information);

    // The missing-picture notice has its words too.
    WhenShown([](TWinBox& b) { b.BitBtn(0)->click(); });
    box_->ShowPicture("NOPE", 0, 0);
    EXPECT_EQ(
        notes_.error_boxes,
        std::vector<std::string>{"MSGBOX|Picture " + course_.Path("BMP/NOPE.BMP") + " is missing"});
}

TEST_F(TWinBoxTest, QuietBoxPlaysNothing) {
    box_->SetQuiet(true);
    ClickWhenShown(1);
    EXPECT_EQ(box_->Ask("Sure?", "", nullptr, 5, kIconWarning, kButtonsYesNo), kResultYes);
    EXPECT_TRUE(sounds_->calls().empty());
}

TEST_F(TWinBoxTest, LanguageSwitchReopensTheBoxTexts) {
    QString yes;
    WhenShown([&](TWinBox& b) {
        yes = b.BitBtn(1)->text();
        b.BitBtn(1)->click();
    });
    box_->Ask("?", "", nullptr, 0, 0, kButtonsYesNo);
    EXPECT_EQ(yes, "Yes");
    config_.Set(data::kLanguage, "FR");
    WhenShown([&](TWinBox& b) {
        yes = b.BitBtn(1)->text();
        b.BitBtn(1)->click();
    });
    box_->Ask("?", "", nullptr, 0, 0, kButtonsYesNo);
    EXPECT_EQ(yes, "Oui");
    EXPECT_NE(box_->MessagePath().find("FR"), std::string::npos);
}

TEST_F(TWinBoxTest, AutoConfirmTimerClicksTheCentreButton) {
    box_->Timer()->setInterval(10);
    box_->Timer()->start();
    EXPECT_EQ(box_->Ask("Next", "", nullptr, 0, 0, kButtonRetry), kResultRetry);
    EXPECT_FALSE(box_->Timer()->isActive());
}

TEST_F(TWinBoxTest, PlaceBoxPlacesOnlyTheNextBox) {
    QPoint at;
    box_->PlaceBox(100, 50, 7, 3);
    WhenShown([&](TWinBox& b) {
        at = b.pos();
        b.BitBtn(0)->click();
    });
    box_->Ask("Here", "", nullptr, 0, 0, kButtonOk);
    EXPECT_EQ(at, QPoint(103, 57));
    WhenShown([&](TWinBox& b) {
        at = b.pos();
        b.BitBtn(0)->click();
    });
    box_->Ask("Centred", "", nullptr, 0, 0, kButtonOk);
    EXPECT_NE(at, QPoint(103, 57));
}

TEST_F(TWinBoxTest, ShowPictureSizesTheBoxToThePicture) {
    QSize image, client;
    QRect ok;
    auto grab = [&](TWinBox& b) {
        image = b.Image()->size();
        client = b.size();
        ok = b.BitBtn(0)->geometry();
        b.BitBtn(0)->click();
    };
    WhenShown(grab);
    EXPECT_EQ(box_->ShowPicture("WIDE", 0, 0), kResultOk);
    EXPECT_EQ(image, QSize(120, 40));
    EXPECT_EQ(client, QSize(120, 40 + 25 + 35));
    EXPECT_EQ(ok, QRect((120 - 73 - 1) / 2, 45, 73, 25));

    WhenShown(grab);
    box_->ShowPicture("WIDE", 80, 300);
    EXPECT_EQ(image, QSize(300, 80));

    WhenShown(grab);
    box_->ShowPictureScaled("WIDE", 0.5);
    EXPECT_EQ(image, QSize(60, 20));
    EXPECT_EQ(notes_.Count(), 0u);

    // A missing picture is reported, then the design icon is shown.
    WhenShown(grab);
    box_->ShowPicture("NOPE", 0, 0);
    EXPECT_EQ(
        notes_.error_boxes,
        std::vector<std::string>{"MSGBOX|Picture " + course_.Path("BMP/NOPE.BMP") + " is missing"});
    EXPECT_EQ(notes_.Count(), 1u);
    EXPECT_GT(image.width(), 0);

    // The next question box shows its frame and text again.
    bool label_shown = false;
    WhenShown([&](TWinBox& b) {
        label_shown = b.Label()->isVisible();
        b.BitBtn(0)->click();
    });
    box_->Ask("Back", "", nullptr, 0, 0, kButtonOk);
    EXPECT_TRUE(label_shown);
}

// The shared box has no parent: shown while the main window's stage is scaled, it is scaled
// alike, and its scaled buttons answer clicks.
TEST_F(TWinBoxTest, OverAScaledMainWindowTheBoxScalesAndItsButtonsAnswer) {
    struct Shown {
        QSize client;
        QRect yes;
        double font = 0;
    };
    auto ask = [this](Shown& shown) {
        WhenShown([&shown](TWinBox& b) {
            shown = {b.size(), b.BitBtn(1)->geometry(), b.Label()->font().pointSizeF()};
            QTest::mouseClick(b.windowHandle(), Qt::LeftButton, {},
                              b.BitBtn(1)->geometry().bottomRight() - QPoint(2, 2));
            QTimer::singleShot(1000, &b, &QDialog::reject);  // a missed click fails, not hangs
        });
        return box_->Ask("Open the valve?", "Pump", nullptr, 0, kIconQuestion, kButtonsYesNo);
    };
    Shown design, scaled;
    EXPECT_EQ(ask(design), kResultYes);

    QMainWindow window;
    auto* screen = new ScaledScreen(new QWidget, QSize(100, 75));
    window.setCentralWidget(screen);
    window.resize(200, 150);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_DOUBLE_EQ(screen->Scale(), 2.0);
    EXPECT_EQ(ask(scaled), kResultYes);
    EXPECT_EQ(scaled.client, design.client * 2);
    EXPECT_EQ(scaled.yes, QRect(design.yes.topLeft() * 2, design.yes.size() * 2));
    EXPECT_DOUBLE_EQ(scaled.font, design.font * 2);
}

}  // namespace
}  // namespace windows
