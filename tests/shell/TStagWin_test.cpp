#include "shell/TStagWin.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include "script/StageHost.h"

#include "data/ConfigTable.h"
#include "data/Course.h"
#include "platform/Path.h"
#include "script/ScriptEngine.h"
#include "shell/TStagWinHost.h"
#include "support/CourseFolder.h"
#include "support/QtTestEnvironment.h"
#include "support/RecordingNotifier.h"
#include "support/WindowControls.h"
#include "windows/ScaledScreen.h"
#include "windows/SoundPlayer.h"
#include "windows/TWinBox.h"

namespace shell {
namespace {

using support::Control;

namespace fs = std::filesystem;
using support::MessageText;
using support::WriteMessageFile;

// Confirms every course message box that opens while it lives, noting its text.
class BoxCloser {
  public:
    explicit BoxCloser(std::vector<std::string>& seen) {
        QObject::connect(&timer_, &QTimer::timeout, [&seen] {
            windows::TWinBox* box = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* b = dynamic_cast<windows::TWinBox*>(w); b && b->isVisible()) box = b;
            if (!box) return;
            seen.push_back("winbox:" + box->windowTitle().toStdString() + "|" +
                           box->Label()->text().toStdString());
            box->BitBtn(0)->click();
        });
        timer_.start(10);
    }

  private:
    QTimer timer_;
};

// The common texts the main window reads, in one language.
std::vector<MessageText> CommonTexts(const std::string& lang) {
    std::vector<MessageText> t(120);
    for (size_t i = 0; i < t.size(); ++i) t[i].text = lang + std::to_string(i);
    t[0].text = lang == "GB" ? "English (GB)" : "Francais (FR)";
    t[7] = {"%1 - version %2.%3", "%s %d %d"};
    t[9].text = lang + "9 first line\nsecond line";
    t[46] = {"Group %1", "%s"};
    t[55] = {"Level %1", "%02d %d"};  // the main file's built-in formats apply
    t[57] = {"Score %1 (%2%)", "%d %02.1lf"};
    t[58] = {"Step %1/%2", "%d %d"};
    t[75] = {"Page %1", "%d"};
    t[54] = {"%1.pdf", "%s"};
    t[5] = {"%1", "%s"};  // the start sound: the product's name
    return t;
}

class TStagWinTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NewCourse();
        support::WriteWav(course_.Path("SND/DEMO.WAV"), 20);
        WriteIni("GB", "-i -w");
        std::ofstream(course_.Path("PRODUCT.DAT"))
            << "[Demo][D][DATA][DEMO.PRD][1100:0800][1][1][GB]\n"
            << "[Demo FR][D][DATA][DEMO.PRD][1100:0800][1][1][FR]\n";
        WriteMessageFile(course_.Path("MSG/GB/COMMON.MSG"), CommonTexts("GB"));
        WriteMessageFile(course_.Path("MSG/FR/COMMON.MSG"), CommonTexts("FR"));
    }
    // A course as the player makes it before its windows: the program DEMO in the folder, a
    // sound player recording what it plays and the shared message box.
    void NewCourse() {
        box_.reset();
        player_.reset();
        course_data_ = std::make_unique<data::Course>(course_.Path("DEMO"));
        course_data_->SetNotifier(&notes_);
        auto sounds = std::make_unique<windows::RecordingSoundBackend>();
        sounds_ = sounds.get();
        player_ = std::make_unique<windows::SoundPlayer>(*course_data_, std::move(sounds));
        box_ = std::make_unique<windows::TWinBox>(*course_data_, *player_);
    }
    std::unique_ptr<TStagWin> NewWindow(lesson::RemoteDataFactory remote = {}) {
        NewCourse();
        return std::make_unique<TStagWin>(*course_data_, *player_, *box_, 1, argv_,
                                          std::move(remote));
    }
    void WriteIni(const std::string& lang, const std::string& flags,
                  const std::string& extra = "") {
        std::ofstream(course_.Path("DEMO.INI"))
            << "Language=" << lang << "\nIPserv=127.0.0.1\nEvaluate=3\n"
            << "Resolution=640x480\nFlag=" << flags << "\n"
            << extra;
    }
    std::string ReadIni() {
        std::ifstream in(course_.Path("DEMO.INI"));
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // Everything reported so far: the notifier's reports ("system:text|code",
    // "message:caption|text", "box:caption|text"), then the course's boxes ("winbox:...").
    std::vector<std::string> Reported() const {
        std::vector<std::string> all;
        for (const auto& e : notes_.errors)
            all.push_back("system:" + e.text + "|" + std::to_string(e.code));
        for (const std::string& m : notes_.messages) all.push_back("message:" + m);
        for (const std::string& b : notes_.error_boxes) all.push_back("box:" + b);
        all.insert(all.end(), boxes_.begin(), boxes_.end());
        return all;
    }
    void ClearReports() {
        notes_.Clear();
        boxes_.clear();
    }
    // A window after a successful creation, shown offscreen.
    std::unique_ptr<TStagWin> Created() {
        auto w = NewWindow();
        EXPECT_TRUE(w->FormCreate());
        w->show();
        return w;
    }

    support::CourseFolder course_;
    std::unique_ptr<data::Course> course_data_;
    std::unique_ptr<windows::SoundPlayer> player_;
    std::unique_ptr<windows::TWinBox> box_;
    support::RecordingNotifier notes_;
    std::vector<std::string> boxes_;  // the course's message boxes shown, in order
    windows::RecordingSoundBackend* sounds_ = nullptr;
    const char* argv_[2] = {"DEMO", nullptr};
};

TEST_F(TStagWinTest, StartupFailuresAreReportedAndStopTheCreation) {
    struct Case {
        const char* name;
        std::function<void()> damage;
        const char* report;  // the start of the expected report
    };
    const Case cases[] = {
        {"missing INI", [this] { fs::remove(course_.Path("DEMO.INI")); }, "system:"},
        {"missing catalogue", [this] { fs::remove(course_.Path("PRODUCT.DAT")); }, "system:"},
        {"bad version",
         [this] {
             std::ofstream(course_.Path("PRODUCT.DAT"))
                 << "[Demo][D][DATA][DEMO.PRD][1200:0800][1][1][GB]\n";
         },
         "system:PRODUCT.DAT: bad version 1100:800|13"},
        {"missing COMMON", [this] { fs::remove(course_.Path("MSG/GB/COMMON.MSG")); }, "system:"},
        {"screen too small", [this] { WriteIni("GB", "-w", "Resolution=9000x9000\n"); },
         "winbox:GB84|GB88"},
    };
    for (const Case& c : cases) {
        SetUp();
        c.damage();
        ClearReports();
        BoxCloser closer(boxes_);
        auto w = NewWindow();
        EXPECT_FALSE(w->FormCreate()) << c.name;
        EXPECT_FALSE(w->Ready()) << c.name;
        EXPECT_EQ(w->Engine(), nullptr) << c.name;
        if (*c.report) {
            const std::vector<std::string> reported = Reported();
            ASSERT_EQ(reported.size(), 1u) << c.name;
            EXPECT_EQ(reported[0].rfind(c.report, 0), 0u) << c.name << ": " << reported[0];
        }
    }
}

// The box for an unreachable server shows before the start-up has finished: it already has
// the course's button captions and its error icon.
TEST_F(TStagWinTest, UnreachableServerBoxHasTheCourseTextsAndErrorIcon) {
    // A loopback address other than 127.0.0.1 counts as a server; nothing listens on port 1.
    WriteIni("GB", "-w", "IPserv=127.0.0.2\nIPport=1\n");  // the later line wins
    std::string seen;
    QColor icon;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* b = dynamic_cast<windows::TWinBox*>(top);
            if (!b || !b->isVisible()) continue;
            seen = b->windowTitle().toStdString() + "|" + b->Label()->text().toStdString() + "|" +
                   b->BitBtn(0)->text().toStdString();
            icon = b->Image()->pixmap().toImage().pixelColor(16, 16);
            b->BitBtn(0)->click();
        }
    });
    closer.start(10);
    auto w = NewWindow();  // the default client: the real one, refused at once
    EXPECT_FALSE(w->FormCreate());
    EXPECT_EQ(seen, "Demo|GB81|OK");
    EXPECT_EQ(icon, QColor(0xFF, 0, 0));  // BMP\ICERR.BMP, the course's error icon
}

TEST_F(TStagWinTest, CreationCaptionsEverythingFromTheCommonTexts) {
    auto w = Created();
    EXPECT_TRUE(w->Ready());
    ASSERT_NE(w->Engine(), nullptr);
    EXPECT_TRUE(Control<QTimer>(*w, "Timer")->isActive());
    EXPECT_EQ(Control<QTimer>(*w, "Timer")->interval(), 3000);
    EXPECT_EQ(w->windowTitle().toStdString(), "GB1 [GB8 - GB9 first line]");
    EXPECT_EQ(Control<QPushButton>(*w, "BitBtn1")->text().toStdString(), "GB21");
    EXPECT_EQ(Control<QPushButton>(*w, "BitBtn2")->text().toStdString(), "GB22");
    EXPECT_EQ(Control<QPushButton>(*w, "BitBtn8")->text().toStdString(), "GB20");
    EXPECT_EQ(Control<QPushButton>(*w, "BitBtn10")->text().toStdString(), "GB30");
    EXPECT_EQ(Control<QMenu>(*w, "HelpMenu")->title().toStdString(), "GB26");
    EXPECT_EQ(Control<QAction>(*w, "Quit")->text().toStdString(), "GB29");
    EXPECT_TRUE(Control<QAction>(*w, "Reset")->isEnabled());
    EXPECT_EQ(Control<QToolButton>(*w, "SpeedButton1")->toolTip().toStdString(), "GB113");
    // Evaluate=3 outside developer mode: Stop is disabled; the language menu lists both.
    EXPECT_FALSE(Control<QPushButton>(*w, "BitBtn2")->isEnabled());
    EXPECT_TRUE(Control<QMenu>(*w, "LanguageMenu")->menuAction()->isVisible());
    ASSERT_EQ(Control<QMenu>(*w, "LanguageMenu")->actions().size(), 2);
    QAction* french = Control<QMenu>(*w, "LanguageMenu")->findChild<QAction*>("FR");
    ASSERT_NE(french, nullptr);
    EXPECT_EQ(french->text().toStdString(), "Francais (FR)");
    EXPECT_FALSE(french->icon().isNull());  // a built-in flag
    EXPECT_FALSE(Control<QAction>(*w, "Messages")->isVisible());
    EXPECT_TRUE(Reported().empty());
    // The product's start sound plays without waiting.
    using Call = windows::RecordingSoundBackend::Call;
    std::vector<Call> start = {{course_.Path("SND/DEMO.WAV"), windows::kSoundAsync, false}};
    EXPECT_EQ(sounds_->calls(), start);
}

TEST_F(TStagWinTest, LanguageSwitchRewritesTheIniAndRecaptions) {
    auto w = Created();
    w->LanguageClick("GB");  // the current language: nothing happens
    EXPECT_NE(ReadIni().find("Evaluate=3"), std::string::npos);

    w->LanguageClick("FR");
    std::string ini = ReadIni();
    EXPECT_NE(ini.find("Language=FR\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Evaluate=3\n"), std::string::npos) << ini;
    EXPECT_EQ(Control<QPushButton>(*w, "BitBtn1")->text().toStdString(), "FR21");
    EXPECT_EQ(w->windowTitle().toStdString(), "FR1 [FR8 - FR9 first line]");
    EXPECT_EQ(course_data_->Language(), "FR");
    // The course's name (sent at sign-on, shown in the user list) is the new language's.
    EXPECT_EQ(course_data_->Product().app_name, "Demo FR");

    // A language whose texts are missing leaves the window and the INI as they were.
    ClearReports();
    w->LanguageClick("DE");
    EXPECT_EQ(Control<QPushButton>(*w, "BitBtn1")->text().toStdString(), "FR21");
    EXPECT_NE(ReadIni().find("Language=FR\n"), std::string::npos);
    EXPECT_EQ(Reported().size(), 1u);
    EXPECT_EQ(course_data_->Product().app_name, "Demo FR");
    w->LanguageClick("GB");
    EXPECT_EQ(course_data_->Product().app_name, "Demo");
}

// The menu bar, its menus and the status bar grow with the stage's scale, and come back with
// it; they never shrink below the desktop's font.
TEST_F(TStagWinTest, TheBarsAndMenusScaleWithTheStage) {
    auto w = Created();
    auto* screen = w->findChild<windows::ScaledScreen*>();
    ASSERT_NE(screen, nullptr);
    auto size = [](const QFont& f) { return QFontInfo(f).pointSizeF(); };
    const double bar = size(w->menuBar()->font());
    const double menu = size(Control<QMenu>(*w, "HelpMenu")->font());
    const double status = size(w->statusBar()->font());
    w->resize(500, 370);
    QApplication::processEvents();
    ASSERT_LT(screen->Scale(), 0.9);
    EXPECT_EQ(size(w->menuBar()->font()), bar);

    w->resize(2016, 1498);
    QApplication::processEvents();
    const double scale = screen->Scale();
    ASSERT_GT(scale, 1.8);
    EXPECT_NEAR(size(w->menuBar()->font()), bar * scale, 0.6);
    EXPECT_NEAR(size(Control<QMenu>(*w, "HelpMenu")->font()), menu * scale, 0.6);
    EXPECT_NEAR(size(w->statusBar()->font()), status * scale, 0.6);

    w->resize(1008, 749);
    QApplication::processEvents();
    EXPECT_NEAR(size(w->menuBar()->font()), bar * std::max(1.0, screen->Scale()), 0.6);
}

TEST_F(TStagWinTest, MessagesToggleShowsTextNumbers) {
    WriteIni("GB", "-D -w");
    auto w = Created();
    EXPECT_TRUE(Control<QAction>(*w, "Messages")->isVisible());
    EXPECT_TRUE(Control<QPushButton>(*w, "BitBtn2")->isEnabled());  // developer mode
    Control<QAction>(*w, "Messages")->setChecked(true);
    EXPECT_EQ(Control<QPushButton>(*w, "BitBtn1")->text().toStdString(), "#21");
    Control<QAction>(*w, "Messages")->setChecked(false);
    EXPECT_EQ(Control<QPushButton>(*w, "BitBtn1")->text().toStdString(), "GB21");
}

TEST_F(TStagWinTest, ShowStandingFillsThePanels) {
    auto w = Created();
    lesson::LearnerStanding s{"Pumps", "MARTIN", 2, 3, 9, 0, 0};
    w->ShowStanding("extra", s);
    auto panel = [&](int i) { return Control<QLabel>(*w, QString("StatusPanel%1").arg(i)); };
    auto text = [&](int i) { return panel(i)->text().toStdString(); };
    EXPECT_EQ(text(0), "Group Pumps");
    EXPECT_EQ(text(1), "MARTIN");
    EXPECT_EQ(text(2), "Level 02");
    EXPECT_EQ(text(3), "Score 0 (0.0%)");  // nothing at stake yet
    EXPECT_EQ(text(4), "extra");
    QFontMetrics fm(w->statusBar()->font());
    EXPECT_EQ(panel(0)->width(), fm.horizontalAdvance("Group Pumps") + 40);
    s.total = 5;
    s.total_worth = 20;
    w->ShowStanding("", s);
    EXPECT_EQ(text(3), "Score 5 (25.0%)");
}

TEST_F(TStagWinTest, DeveloperStandingShowsTheStep) {
    WriteIni("GB", "-D -w");
    auto w = Created();
    w->ShowStanding("params", lesson::LearnerStanding{"G", "U", 1, 3, 9, 1, 2});
    auto text = [&](int i) {
        return Control<QLabel>(*w, QString("StatusPanel%1").arg(i))->text().toStdString();
    };
    EXPECT_EQ(text(3), "Step 3/9");
    EXPECT_EQ(text(4), "Score 1 (50.0%)");
    EXPECT_EQ(text(5), "params");
}

TEST_F(TStagWinTest, ShowInfoPlacesThePanel) {
    auto w = Created();
    w->ShowInfo("", "Y120");
    EXPECT_FALSE(Control<QFrame>(*w, "PanelInfo")->isVisible());
    w->ShowInfo("A comment\non two lines", "Y120", 12);
    QFrame* panel = Control<QFrame>(*w, "PanelInfo");
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->y(), 120);
    EXPECT_EQ(panel->x(), (Control<QWidget>(*w, "Image")->width() - panel->width()) / 2);
    EXPECT_TRUE(Control<QTextEdit>(*w, "InfoText")->toPlainText().endsWith("Page 12"));
    w->ShowInfo("Placed", "X30 Y40 W200");
    EXPECT_EQ(panel->geometry().topLeft(), QPoint(30, 40));
    EXPECT_EQ(panel->width(), 200);
}

TEST_F(TStagWinTest, CollapseAndExpandRestoreThePanel) {
    auto w = Created();
    QFrame* panel = Control<QFrame>(*w, "Panel1");
    QRect before = panel->geometry();
    w->SpeedButton1Click();
    EXPECT_EQ(panel->height(), 30);
    EXPECT_EQ(panel->geometry().bottom(), before.bottom());
    EXPECT_TRUE(Control<QFrame>(*w, "Panel4")->isHidden());
    EXPECT_TRUE(Control<QPushButton>(*w, "BitBtn2")->isHidden());
    EXPECT_EQ(Control<QToolButton>(*w, "SpeedButton1")->toolTip().toStdString(), "GB114");
    w->SpeedButton1Click();
    EXPECT_EQ(panel->geometry(), before);
    EXPECT_FALSE(Control<QFrame>(*w, "Panel4")->isHidden());
    EXPECT_FALSE(Control<QPushButton>(*w, "BitBtn2")->isHidden());
    EXPECT_EQ(Control<QToolButton>(*w, "SpeedButton1")->toolTip().toStdString(), "GB113");
}

// The engine's two notifications become the flow's window messages, handed to the queue.
TEST_F(TStagWinTest, EngineNotificationsBecomeWindowMessages) {
    QWidget stage;
    std::vector<std::pair<int, long>> posted;
    TStagWinHost host(stage, *box_, *player_, [&posted](int message, long param) {
        posted.push_back({message, param});
    });
    host.ScriptEnded();
    host.Picked(4, 2);
    std::vector<std::pair<int, long>> want = {{lesson::kMsgScriptDone, 0}, {lesson::kMsgPick, 2}};
    EXPECT_EQ(posted, want);
}

TEST_F(TStagWinTest, EngineQuestionsPicturesAndSoundsReachTheWindows) {
    auto w = Created();
    windows::TWinBox& box = *box_;
    support::WriteBmp(course_.Path("BMP/PUMP.BMP"), 40, 20, 0x00FF00);

    // A placed question appears at its stage position and returns the button's answer.
    QPoint at;
    QTimer::singleShot(0, &box, [&] {
        at = box.pos();
        box.BitBtn(2)->click();  // No
    });
    script::Question q;
    q.text = "Open the valve?";
    q.caption = "Pump";
    q.icon = windows::kIconQuestion;
    q.buttons = windows::kButtonsYesNo;
    q.placed = true;
    q.x = 15;
    q.y = 25;
    EXPECT_EQ(w->Host()->Ask(q), windows::kResultNo);
    EXPECT_EQ(at, Control<QWidget>(*w, "Image")->mapToGlobal(QPoint(15, 25)));

    // Pictures: a zoom scales the picture's own size.
    QSize shown;
    QTimer::singleShot(0, &box, [&] {
        shown = box.Image()->size();
        box.BitBtn(0)->click();
    });
    w->Host()->ShowPicture("BMP\\PUMP.BMP", 0, 0, 2.0);
    EXPECT_EQ(shown, QSize(80, 40));

    // Sounds: a name plays, an empty name stops.
    sounds_->Clear();
    w->Host()->PlaySound("DEMO", windows::kSoundAsync | windows::kSoundLoop);
    w->Host()->PlaySound("", windows::kSoundAsync);
    using Call = windows::RecordingSoundBackend::Call;
    std::vector<Call> want = {{course_.Path("SND/DEMO.WAV"), 9, false}, {"", 0, true}};
    EXPECT_EQ(sounds_->calls(), want);
}

TEST_F(TStagWinTest, TraceLogOpensAtCreationAndClosesWithTheWindow) {
    WriteIni("GB", "-w -r trace.log");
    Created().reset();
    std::ifstream in(course_.Path("trace.log"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front().rfind(">>", 0), 0u);
    EXPECT_EQ(lines.back().rfind("<<", 0), 0u);
}

TEST_F(TStagWinTest, HelpAndCommentDocumentsOpenInAViewerThePlayerCloses) {
    // A viewer on PATH that notes what it opens and stays running until it is ended.
    const std::string opened_list = course_.Path("opened.txt");
    fs::create_directories(course_.Path("bin"));
    std::ofstream(course_.Path("bin/evince"))
        << "#!/bin/sh\necho \"$1\" >> '" << opened_list << "'\nexec sleep 30\n";
    fs::permissions(course_.Path("bin/evince"), fs::perms::owner_all);
    std::string old_path = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", ((course_.Root() / "bin").string() + ":" + old_path).c_str(), 1);
    fs::create_directories(course_.Path("MSG/GB/COMMON/SI"));
    std::ofstream(course_.Path("MSG/GB/DEMO.PDF")) << "%PDF";
    std::ofstream(course_.Path("MSG/GB/COMMON/SI/PUMP.PDF")) << "%PDF";
    WriteIni("GB", "-w", "Unit=SI\n");
    auto w = Created();

    w->TopicsClick();
    EXPECT_EQ(w->Viewers().Count(), 1u);
    w->SetCommentName("PUMP");
    w->InfoTextMouseDown();
    EXPECT_EQ(w->Viewers().Count(), 2u);
    w->InfoTextMouseDown();  // its window is open already
    EXPECT_EQ(w->Viewers().Count(), 2u);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            std::ifstream in(opened_list);
            return std::count(std::istreambuf_iterator<char>(in), {}, '\n') == 2;
        },
        5000));
    // The two viewers run at once: either may write its line first.
    std::ifstream in(opened_list);
    std::set<std::string> opened;
    for (std::string line; std::getline(in, line);) opened.insert(line);
    EXPECT_EQ(opened, (std::set<std::string>{course_.Path("MSG/GB/DEMO.PDF"),
                                             course_.Path("MSG/GB/COMMON/SI/PUMP.PDF")}));

    w->CloseDocumentWindow();  // ends the comment's viewer only
    EXPECT_EQ(w->Viewers().Count(), 1u);
    EXPECT_FALSE(w->Viewers().IsOpen("PUMP.pdf"));
    w->SetCommentName("-");
    w->InfoTextMouseDown();
    EXPECT_EQ(w->Viewers().Count(), 1u);
    EXPECT_TRUE(w->Viewers().CloseMatching("DEMO.PDF"));
    setenv("PATH", old_path.c_str(), 1);
}

TEST_F(TStagWinTest, FailedDocumentProgramIsReported) {
    auto w = Created();
    std::vector<std::string> boxes;
    BoxCloser closer(boxes);
    EXPECT_FALSE(w->OpenDocument("/nonexistent/viewer", "doc.pdf"));
    EXPECT_EQ(w->Viewers().Count(), 0u);
    EXPECT_EQ(boxes, std::vector<std::string>{"winbox:GB76|Path or file name not found"});
    EXPECT_TRUE(w->OpenDocument("true", "doc.pdf"));
    EXPECT_EQ(SpawnErrorText(ENOENT), "Path or file name not found");
    EXPECT_EQ(SpawnErrorText(9999), "Unknown error");
}

}  // namespace
}  // namespace shell
