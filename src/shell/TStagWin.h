// The main window: the stage the script engine draws on, the control panel with the question,
// the answers and the command buttons, the info panel, the status bar and the menus.
#pragma once

#include <QEvent>
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "data/DataAccess.h"
#include "data/RemoteWorker.h"
#include "lesson/LessonScreen.h"
#include "lesson/LessonServices.h"
#include "lesson/LessonView.h"
#include "lesson/RemoteData.h"
#include "shell/Startup.h"
#include "shell/StartupView.h"
#include "shell/TStagWinDocuments.h"

class QAction;
class QColor;
class QFrame;
class QLabel;
class QMediaPlayer;
class QMenu;
class QPushButton;
class QTextEdit;
class QTimer;
class QToolButton;

namespace lesson {
class LearnerFilesStore;
class LessonFlow;
class ScriptEngineLink;
}  // namespace lesson
namespace script {
class ScriptEngine;
}
namespace windows {
class TAVIview;
class TEditView;
class TStat;
class TUserOption;
class TUsrList;
class SoundPlayer;
class TApropos;
class ScaledScreen;
class TWinBox;
}  // namespace windows

namespace shell {

class TStagWinHost;

// A posted window message (lesson::kMsg*), delivered to the main window's event loop.
class UserMessageEvent : public QEvent {
  public:
    static QEvent::Type EventType();
    UserMessageEvent(int message, long param)
        : QEvent(EventType()), message(message), param(param) {}
    int message;
    long param;
};

// The main window draws the lesson: it owns the widgets and the lesson flow, shows the flow's
// screen and passes its clicks, keys, timer and posted messages to the flow.
class TStagWin : public QMainWindow,
                 public StartupView,
                 public lesson::LessonView,
                 public lesson::LessonSounds,
                 public lesson::LessonClock {
  public:
    // The course the start-up fills, the sound player and the shared message box, the process's
    // command line (read by the start-up) and how to reach a data server (none given: the data
    // server client).
    TStagWin(data::Course& course, windows::SoundPlayer& sounds, windows::TWinBox& box, int argc,
             const char* const* argv, lesson::RemoteDataFactory make_remote = {});
    ~TStagWin() override;

    // The window's creation: start-up with its window steps, the script engine and the lesson
    // flow. False when the start-up failed (already reported); the caller then ends the
    // application without running its loop.
    bool FormCreate();
    bool Ready() const { return ready_; }
    // Captions from the common texts; nothing before the start-up has finished.
    void FormShow();

    // The user list and the options window, created after the start-up for the whole run.
    void CreateUserWindows(windows::TEditView* edit_view);
    // The video window the script engine plays into.
    void SetVideoWindow(windows::TAVIview* view);

    // Operations offered to the lesson.
    void ShowStanding(const std::string& text, const lesson::LearnerStanding& standing);
    void ShowInfo(const std::string& text, const std::string& placement, int p_number = 0);
    void SetCommentName(const std::string& name);
    bool OpenDocument(const std::string& program, const std::string& document);
    void PostUserMessage(int message, long param = 0);
    // A request to the data server lasts: a busy cursor and a status text while waiting is
    // true, the window repainted; both go when it is false.
    void ShowServerWait(bool waiting);
    // How long Stop, the lesson's end, closing and a session's start wait for the data server
    // (ms) before the rest is left for later; a few seconds unless set.
    static constexpr int kServerBoundMs = 3000;
    void SetServerBound(int ms) { server_bound_ = std::chrono::milliseconds(ms > 0 ? ms : 1); }

    // Handlers of the window's buttons, menus and timer.
    void BitBtn1Click();  // Next
    void BitBtn2Click();  // Stop
    void BitBtn8Click();  // Prev
    void BitBtn7Click();  // Exit
    void ButtonClick(int tag);
    // The start timer, and every return to user selection: the flow's tick.
    void CommencerClick();
    // Config: the options window for the session's learner; the flow takes the options when
    // it closes with OK.
    void ConfigClick();
    // Reset: after a question, the progress of the learner selected in the user list is wiped.
    void ResetClick();
    // A language of the language menu, by its code ("FR"): the course switches to it.
    void LanguageClick(const std::string& language);
    void MessagesClick(bool checked);
    void TopicsClick();
    void AboutMeClick();
    // F11 or Help > Full screen: the window fills the screen, or comes back.
    void ToggleFullScreen();
    void SpeedButton1Click();
    void InfoTextMouseDown();
    void MediaPlayerNotify();

    // What is not a widget, for the program and its tests.
    lesson::LessonFlow* Flow() const { return flow_.get(); }
    script::ScriptEngine* Engine() const { return engine_.get(); }
    TStagWinHost* Host() const { return host_.get(); }
    DocumentViewers& Viewers() { return viewers_; }

    // StartupView: start-up's error boxes and status line.
    void ShowErrorBox(const std::string& caption, const std::string& text) override;
    void ShowStatus(const std::string& text) override;

    // LessonView.
    int Ask(const std::string& text, const std::string& caption, int icon, int buttons,
            bool quiet) override;
    void ShowSystemError(const std::string& text, int code) override;
    void ShowFailure(const platform::Status& failure) override;
    void ShowStatusNote(const std::string& text) override;
    void Show(const lesson::LessonScreen& screen) override;
    bool StopShown() const override;
    int AskEstimate(const lesson::RichText& title, const lesson::RichText& text) override;
    void ShowAnswer(const lesson::AnswerWindow& window) override;
    void ShowUserList() override;
    void PostMessage(int message) override { PostUserMessage(message); }
    void CloseDocumentWindow() override;
    void CloseWindow() override { close(); }
    int StageWidth() const override;
    int StageHeight() const override;

    // LessonSounds and LessonClock.
    void PlayNumber(int number, bool wait) override;
    void PlayNamed(const std::string& name) override;
    int64_t Now() override;
    uint32_t Random() override;

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void CreateControls();
    void CreateMenus();
    void LayoutControls();
    void PlaceVerdict();
    // A control's place on the screen (device-independent pixels), as the learner sees it.
    QRect OnScreen(const QWidget* control) const;
    // The menu bar, its menus and the status bar at the stage's scale, so that the whole window
    // grows and shrinks as one.
    void ScaleBars();
    // Trace lines of the shown geometry, for the developer and the end-to-end checks.
    void TraceScreen();
    void TraceVerdict();
    void BuildLanguageMenu();
    bool CheckDisplay();
    void ShowSplash();
    void CreateEngine();
    void CreateLesson();
    void ApplyDeveloperStatus();
    // Takes language with its texts (reporting a language that cannot be opened) and redraws.
    void SwitchLanguage(const std::string& language);
    // The user list filled again (language switch, Messages, Reset).
    void RefreshUserList();
    // The verdict line in its colour; an empty text clears it.
    void ShowVerdict(const QString& text, const QColor& colour);
    // Answer n framed in mark (none when invalid); its text is never left selected.
    void SetAnswerMarked(int n, const QColor& mark);
    windows::TStat& Statistics();
    // The statistics window's next place: on the stage, clear of the objects drawn there.
    void PlaceClearOfStage(windows::TStat& stat);
    // In automatic play the statistics window answers and closes itself after the delay.
    void CloseByItself(windows::TStat& stat, bool answer);
    // Starts the document program, remembering its window under title.
    bool StartDocument(const std::string& program, const std::string& document,
                       const std::string& title);
    int Box(const std::string& text, const std::string& caption, int icon, int buttons);

    data::Course& course_;
    windows::SoundPlayer& sounds_;
    windows::TWinBox& box_;
    QPointer<windows::TApropos> about_;
    QPointer<windows::TStat> statistics_;
    int argc_;
    const char* const* argv_;
    lesson::RemoteDataFactory make_remote_;
    StartupState state_;
    bool ready_ = false;
    std::unique_ptr<TStagWinHost> host_;
    std::unique_ptr<script::ScriptEngine> engine_;
    std::unique_ptr<lesson::LearnerFilesStore> store_;
    std::unique_ptr<lesson::ScriptEngineLink> link_;
    std::unique_ptr<lesson::LessonFlow> flow_;
    data::RemoteClient* client_ = nullptr;  // the data server's, owned by the start-up's state
    // The thread that owns client_ during lessons; ended before the client.
    std::unique_ptr<data::RemoteWorker> worker_;
    std::chrono::milliseconds server_bound_{kServerBoundMs};
    bool server_wait_shown_ = false;
    std::string shown_info_;  // the info panel's text as last shown
    QImage background_;
    data::DataAccess group_data_;
    data::DataAccess user_data_;
    std::unique_ptr<windows::TUsrList> user_list_;
    std::unique_ptr<windows::TUserOption> user_option_;
    std::string comment_name_ = "-";
    DocumentViewers viewers_;
    int collapsed_height_ = 0;  // SpeedButton1's tag: the expanded height while collapsed
    QPointer<QWidget> splash_;  // while it is shown, it stays above the main window

    QWidget* stage_ = nullptr;
    windows::ScaledScreen* screen_ = nullptr;
    QAction* full_screen_ = nullptr;
    QRect normal_geometry_;  // the window's place before full screen
    QFrame* panel1_ = nullptr;
    QLabel* panel2_ = nullptr;
    QFrame* panel4_ = nullptr;
    QTextEdit* label40_ = nullptr;
    QTextEdit* answer_labels_[6] = {};
    QPushButton* answer_buttons_[6] = {};
    QPushButton* next_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* prev_ = nullptr;
    QPushButton* exit_ = nullptr;
    QToolButton* speed_button_ = nullptr;
    QLabel* measure_label_ = nullptr;
    QFrame* panel11_ = nullptr;
    QFrame* panel_info_ = nullptr;
    QTextEdit* info_text_ = nullptr;
    QMediaPlayer* media_player_ = nullptr;
    QPushButton* media_button_ = nullptr;
    QTimer* timer_ = nullptr;
    std::vector<QLabel*> status_panels_;
    QMenu* language_menu_ = nullptr;
    QAction* language_action_ = nullptr;
    QAction* config_ = nullptr;
    QMenu* option_menu_ = nullptr;
    QAction* option_action_ = nullptr;
    QAction* reset_ = nullptr;
    QAction* messages_ = nullptr;
    QMenu* help_menu_ = nullptr;
    QAction* topics_ = nullptr;
    QAction* about_me_ = nullptr;
    QAction* quit_ = nullptr;
    QFont menu_bar_font_, menu_font_, status_bar_font_;  // at design size
    double bars_scale_ = 1.0;
};

}  // namespace shell
