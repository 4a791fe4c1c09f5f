// The lesson flow in the real main window, offscreen, on the built demo course: the window
// shows what the flow decides and its buttons and keys reach the flow.
#include "shell/TStagWin.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>

#include "data/Course.h"
#include "lesson/LessonFlow.h"
#include "platform/Path.h"
#include "support/QtTestEnvironment.h"
#include "support/RecordingNotifier.h"
#include "support/TempFolder.h"
#include "support/WindowControls.h"
#include "windows/SoundBackend.h"
#include "windows/SoundPlayer.h"
#include "windows/TEditView.h"
#include "windows/TUsrList.h"
#include "windows/TWinBox.h"
#include "windows/VerdictColour.h"

namespace shell {
namespace {

using support::Control;

// Confirms every course message box that opens while it lives (its first button: OK or Yes).
class BoxCloser {
  public:
    explicit BoxCloser(std::vector<std::string>& seen) {
        QObject::connect(&timer_, &QTimer::timeout, [&seen] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = dynamic_cast<windows::TWinBox*>(w);
                if (!box || !box->isVisible()) continue;
                seen.push_back(box->Label()->text().toStdString());
                box->BitBtn(0)->click();
            }
        });
        timer_.start(10);
    }

  private:
    QTimer timer_;
};

class TStagWinLessonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::copy(DEMO_COURSE_DIR, dir_.path / "course",
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::copy_symlinks);
        std::ofstream(dir_.path / "course" / "DEMO.INI", std::ios::app)
            << "Resolution=640x480\nFlag=-w -g\n";
        course_.SetNotifier(&notes_);
        window_ = std::make_unique<TStagWin>(course_, sounds_, box_, 1, argv_);
        ASSERT_TRUE(window_->FormCreate());
        window_->CreateUserWindows(&edit_view_);
        Control<QTimer>(*window_, "Timer")->stop();
        window_->show();
    }
    void TearDown() override { window_.reset(); }
    // Delivers the posted messages.
    void Settle() {
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
    }
    lesson::LessonFlow& Flow() { return *window_->Flow(); }
    // Learner 2 of group 1 chosen in the user list, the choice delivered.
    void StartSession() {
        window_->findChild<windows::TUsrList*>()->SetTag((1 << 8) + 2);
        window_->PostUserMessage(lesson::kMsgUserChosen);
        Settle();
    }
    std::string Text(QTextEdit* edit) { return edit->toPlainText().toStdString(); }

    support::TempFolder dir_;
    support::RecordingNotifier notes_;
    data::Course course_{(dir_.path / "course" / "DEMO").string()};
    windows::SoundPlayer sounds_{course_, std::make_unique<windows::RecordingSoundBackend>()};
    windows::TWinBox box_{course_, sounds_};
    windows::TEditView edit_view_{course_, box_};
    std::unique_ptr<TStagWin> window_;
    const char* argv_[2] = {"DEMO", nullptr};
};

// While a request to the data server waits, the window shows a busy cursor and says so in the
// status bar; both go when the wait ends.
TEST_F(TStagWinLessonTest, AServerWaitShowsABusyCursorAndAStatusText) {
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    window_->ShowServerWait(true);
    window_->ShowServerWait(true);  // repeated while the wait lasts
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_TRUE(window_->statusBar()->currentMessage().startsWith("Waiting for the data server"))
        << window_->statusBar()->currentMessage().toStdString();
    window_->ShowServerWait(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "restored once for one wait";
    EXPECT_TRUE(window_->statusBar()->currentMessage().isEmpty());
}

TEST_F(TStagWinLessonTest, ChoiceStepsAnsweredByButtonAndKey) {
    std::vector<std::string> boxes;
    BoxCloser closer(boxes);
    // The start timer shows the user list; the learner chosen there starts the session.
    window_->CommencerClick();
    Settle();
    ASSERT_NE(window_->findChild<windows::TUsrList*>(), nullptr);
    EXPECT_TRUE(window_->findChild<windows::TUsrList*>()->isVisible());
    EXPECT_FALSE(Flow().InSession());
    window_->findChild<windows::TUsrList*>()->SetTag((1 << 8) + 2);
    window_->findChild<windows::TUsrList*>()->hide();
    window_->PostUserMessage(lesson::kMsgUserChosen);
    EXPECT_FALSE(Flow().InSession()) << "a posted message waits for the event loop";
    Settle();
    ASSERT_TRUE(Flow().InSession());
    EXPECT_TRUE(Control<QFrame>(*window_, "Panel1")->isVisible());
    EXPECT_NE(Text(Control<QTextEdit>(*window_, "Label40")).find("meter"), std::string::npos)
        << Text(Control<QTextEdit>(*window_, "Label40"));
    EXPECT_TRUE(Control<QPushButton>(*window_, QString("Button%1").arg(2))->isEnabled());
    EXPECT_FALSE(
        Control<QPushButton>(*window_, QString("Button%1").arg(5))->isVisibleTo(window_.get()));
    EXPECT_FALSE(Control<QPushButton>(*window_, "BitBtn1")->isEnabled());

    QTest::mouseClick(Control<QPushButton>(*window_, QString("Button%1").arg(2)), Qt::LeftButton);
    Settle();
    EXPECT_TRUE(Control<QPushButton>(*window_, "BitBtn1")->isEnabled());
    EXPECT_TRUE(Control<QLabel>(*window_, "Panel2")->isVisibleTo(window_.get()));
    EXPECT_FALSE(Control<QLabel>(*window_, "Panel2")->text().isEmpty());
    EXPECT_TRUE(Control<QFrame>(*window_, "PanelInfo")->isVisible());
    EXPECT_EQ(Flow().User().Total, 10);
    bool standing = false;
    for (QLabel* panel : window_->statusBar()->findChildren<QLabel*>()) {
        standing = standing || panel->text().contains("Bruno Leroy");
    }
    EXPECT_TRUE(standing);

    QTest::mouseClick(Control<QPushButton>(*window_, "BitBtn1"), Qt::LeftButton);
    Settle();
    EXPECT_EQ(Flow().User().Step, 2);
    EXPECT_FALSE(Control<QFrame>(*window_, "PanelInfo")->isVisible());
    // The colour of the answer chosen in step 1 does not carry over.
    QTextCursor cursor(Control<QTextEdit>(*window_, QString("Label%1").arg(2))->document());
    cursor.setPosition(1);
    EXPECT_NE(cursor.charFormat().foreground().color(), windows::VerdictColour(true));
    EXPECT_TRUE(Control<QLabel>(*window_, "Panel2")->text().isEmpty());
    // The key 3 answers step 2.
    QTest::keyClick(window_.get(), Qt::Key_3);
    Settle();
    EXPECT_EQ(Flow().User().Total, 20);
    EXPECT_TRUE(Control<QPushButton>(*window_, "BitBtn1")->isEnabled());
    // The session found every file it needed: nothing was reported.
    EXPECT_EQ(notes_.errors, std::vector<support::RecordingNotifier::Error>{});
    EXPECT_EQ(notes_.messages, std::vector<std::string>{});
}

double Contrast(const QColor& a, const QColor& b) {
    return windows::ContrastRatio(a, b);
}

// The darkest pixel of a picture (a glyph's stem) and its most common one (the background).
std::pair<QColor, QColor> InkAndPaper(const QImage& image) {
    std::map<QRgb, int> count;
    QColor ink = Qt::white;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            QColor c = image.pixelColor(x, y);
            ++count[c.rgb()];
            if (c.lightnessF() < ink.lightnessF()) ink = c;
        }
    auto paper = std::max_element(count.begin(), count.end(),
                                  [](auto& a, auto& b) { return a.second < b.second; });
    return {ink, QColor(paper->first)};
}

QRect InWindow(QWidget* w, QWidget* window) {
    (void)window;  // the stage is shown scaled: its widgets are placed within it
    return QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size());
}

// After an answer the verdict has its own band clear of the question box, in its colour on a
// background it reads against; the answers read like the question and the chosen one is
// framed and written in the verdict's colour (green when right, red when wrong), readable on
// its background, with no text selected.
TEST_F(TStagWinLessonTest, VerdictAndAnswersAreReadable) {
    std::vector<std::string> boxes;
    BoxCloser closer(boxes);
    StartSession();
    ASSERT_TRUE(Flow().InSession());

    QTextEdit* question = Control<QTextEdit>(*window_, "Label40");
    for (int j : {1, 2}) {
        QTextEdit* answer = Control<QTextEdit>(*window_, QString("Label%1").arg(j));
        ASSERT_TRUE(answer->isVisible());
        EXPECT_TRUE(answer->isEnabled()) << "a disabled answer is painted grey";
        EXPECT_EQ(answer->palette().color(QPalette::Text),
                  question->palette().color(QPalette::Text));
        const QPalette& p = answer->palette();
        EXPECT_GE(Contrast(p.color(QPalette::Text), p.color(QPalette::Base)), 4.5) << j;
        auto [ink, paper] = InkAndPaper(answer->viewport()->grab().toImage());
        EXPECT_GE(Contrast(ink, paper), 4.5)
            << j << " ink " << ink.name().toStdString() << " on " << paper.name().toStdString();
    }

    struct Answer {
        int button;
        QColor verdict;
        bool right;
    };
    // Answer 1 of the first step is wrong, answer 3 of the second right.
    const Answer answers[] = {{1, Qt::red, false}, {3, Qt::green, true}};
    for (const Answer& a : answers) {
        QTest::mouseClick(Control<QPushButton>(*window_, QString("Button%1").arg(a.button)),
                          Qt::LeftButton);
        Settle();
        QLabel* verdict = Control<QLabel>(*window_, "Panel2");
        ASSERT_TRUE(verdict->isVisible()) << a.button;
        EXPECT_FALSE(verdict->text().isEmpty());
        EXPECT_FALSE(InWindow(verdict, window_.get())
                         .intersects(InWindow(Control<QFrame>(*window_, "Panel4"), window_.get())))
            << a.button;
        EXPECT_FALSE(
            verdict->geometry().intersects(Control<QFrame>(*window_, "Panel1")->geometry()));
        EXPECT_EQ(verdict->palette().color(QPalette::WindowText), a.verdict) << a.button;
        EXPECT_GE(Contrast(a.verdict, verdict->palette().color(QPalette::Window)), 4.5);
        auto [ink, paper] = InkAndPaper(verdict->grab().toImage());
        EXPECT_EQ(paper, verdict->palette().color(QPalette::Window));

        QTextEdit* chosen = Control<QTextEdit>(*window_, QString("Label%1").arg(a.button));
        EXPECT_FALSE(chosen->textCursor().hasSelection()) << a.button;
        const QColor mark = windows::VerdictColour(a.right);
        QImage marked = chosen->grab().toImage();
        EXPECT_EQ(marked.pixelColor(0, marked.height() / 2), mark) << "the frame " << a.button;
        EXPECT_EQ(marked.pixelColor(1, marked.height() / 2), mark) << "2 pixels wide";
        const QColor base = chosen->palette().color(QPalette::Base);
        EXPECT_GE(Contrast(mark, base), 4.5) << "frame and text on " << base.name().toStdString();
        QTextCursor cursor(chosen->document());
        cursor.setPosition(1);
        EXPECT_EQ(cursor.charFormat().foreground().color(), mark);
        for (int j = 1; j <= 4; ++j) {
            if (j == a.button) continue;
            QImage plain =
                Control<QTextEdit>(*window_, QString("Label%1").arg(j))->grab().toImage();
            EXPECT_NE(plain.pixelColor(0, plain.height() / 2), windows::VerdictColour(true)) << j;
            EXPECT_NE(plain.pixelColor(0, plain.height() / 2), windows::VerdictColour(false)) << j;
        }

        QTest::mouseClick(Control<QPushButton>(*window_, "BitBtn1"), Qt::LeftButton);  // Next
        Settle();
        EXPECT_FALSE(verdict->isVisible()) << "cleared by the next step";
    }
    EXPECT_EQ(Flow().User().Total, 10);
}

// Screen readers reach every control of a choice step from the window by name, the answer
// buttons with their answer's text, and the verdict's text is its description once it shows.
TEST_F(TStagWinLessonTest, TheAccessibilityTreeNamesTheControlsOfAChoiceStep) {
    std::vector<std::string> boxes;
    BoxCloser closer(boxes);
    StartSession();
    ASSERT_TRUE(Flow().InSession());

    std::map<QObject*, QAccessibleInterface*> tree;
    std::function<void(QAccessibleInterface*, int)> walk = [&](QAccessibleInterface* node,
                                                               int depth) {
        if (!node || depth > 12) return;
        tree[node->object()] = node;
        for (int i = 0; i < node->childCount(); ++i) walk(node->child(i), depth + 1);
    };
    walk(QAccessible::queryAccessibleInterface(window_.get()), 0);
    auto name = [&](const char* control) -> std::string {
        auto it = tree.find(Control<QWidget>(*window_, control));
        return it == tree.end() ? std::string("<not in the tree>")
                                : it->second->text(QAccessible::Name).toStdString();
    };
    for (int j : {1, 2}) {
        const std::string button = "Button" + std::to_string(j);
        const std::string answer = Text(Control<QTextEdit>(*window_, QString("Label%1").arg(j)));
        ASSERT_FALSE(answer.empty());
        EXPECT_EQ(name(button.c_str()), std::to_string(j) + ". " + answer);
        EXPECT_EQ(tree[Control<QWidget>(*window_, button.c_str())]->role(), QAccessible::Button);
    }
    EXPECT_EQ(name("BitBtn1"), "Next");
    EXPECT_EQ(name("BitBtn2"), "Stop");
    EXPECT_EQ(name("Label40"), "Question");
    EXPECT_EQ(name("Panel2"), "Verdict");

    QLabel* verdict = Control<QLabel>(*window_, "Panel2");
    QTest::mouseClick(Control<QPushButton>(*window_, "Button2"), Qt::LeftButton);
    Settle();
    ASSERT_TRUE(verdict->isVisible());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(verdict)->text(QAccessible::Description),
              verdict->text());
}

// While a practical step waits for a pick, its task stays on the panel and Stop stays offered;
// no answer button is shown and Next waits for the step to be solved.
TEST_F(TStagWinLessonTest, APracticalStepKeepsItsTaskAndStopOnScreen) {
    std::vector<std::string> boxes;
    BoxCloser closer(boxes);
    StartSession();
    for (int answer : {2, 3, 1}) {  // steps 1 to 3, right
        QTest::mouseClick(Control<QPushButton>(*window_, QString("Button%1").arg(answer)),
                          Qt::LeftButton);
        Settle();
        QTest::mouseClick(Control<QPushButton>(*window_, "BitBtn1"), Qt::LeftButton);
        Settle();
    }
    ASSERT_EQ(Flow().User().Step, 4);
    ASSERT_EQ(Flow().User().Kind, lesson::kPracticalStep);
    EXPECT_TRUE(Control<QFrame>(*window_, "Panel1")->isVisible());
    EXPECT_TRUE(Control<QFrame>(*window_, "Panel4")->isVisible());
    EXPECT_NE(Text(Control<QTextEdit>(*window_, "Label40")).find("Prime it"), std::string::npos)
        << Text(Control<QTextEdit>(*window_, "Label40"));
    QPushButton* stop = Control<QPushButton>(*window_, "BitBtn2");
    EXPECT_TRUE(stop->isVisible());
    EXPECT_TRUE(stop->isEnabled());
    EXPECT_FALSE(Control<QPushButton>(*window_, "BitBtn1")->isEnabled());
    for (int j = 1; j <= 6; ++j)
        EXPECT_FALSE(Control<QPushButton>(*window_, QString("Button%1").arg(j))->isVisible()) << j;
}

}  // namespace
}  // namespace shell
