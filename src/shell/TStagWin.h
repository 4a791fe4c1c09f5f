// The main window: the stage the script engine draws on, the control panel with the question,
// the answers and the command buttons, the info panel, the status bar and the menus.
#pragma once

#include <QEvent>
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "data/DataAccess.h"
#include "lesson/LessonScreen.h"
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

namespace script {
class ScriptEngine;
}
namespace windows {
class TEditView;
class TUserOption;
class TUsrList;
class SoundPlayer;
class TApropos;
class TWinBox;
}  // namespace windows

namespace shell {

class TStagWinHost;

// The three posted window messages.
inline constexpr int kWmUser = 1024;        // a stage object's menu entry was picked
inline constexpr int kWmScriptDone = 1025;  // the step's script has ended
inline constexpr int kWmUserChosen = 1026;  // a user was chosen: start the session

// A posted window message, delivered to the main window's event loop.
class UserMessageEvent : public QEvent {
  public:
    static QEvent::Type EventType();
    UserMessageEvent(int message, long param)
        : QEvent(EventType()), message(message), param(param) {}
    int message;
    long param;
};

// What the lesson flow does on the window's events; every handler defaults to nothing.
class TStagWinEvents {
  public:
    virtual ~TStagWinEvents() = default;
    virtual void CommencerClick() {}  // the start / automatic-play timer
    virtual void NextClick() {}
    virtual void StopClick() {}
    virtual void PrevClick() {}
    virtual void ExitClick() {}
    virtual void AnswerClick(int /*tag*/) {}
    virtual void KeyPress(int /*key*/) {}
    virtual void UserMessage(int /*message*/, long /*param*/) {}
    virtual bool CloseQuery() { return true; }
    virtual void ResetClick() {}
    virtual void ConfigClick() {}
    virtual void RefreshUserList() {}
};

class TStagWin : public QMainWindow, public StartupView {
  public:
    // The course the start-up fills, the sound player and the shared message box, the process's
    // command line (read by the start-up) and how to reach a data server (none given: the data
    // server client).
    TStagWin(data::Course& course, windows::SoundPlayer& sounds, windows::TWinBox& box, int argc,
             const char* const* argv, lesson::RemoteDataFactory make_remote = {});
    ~TStagWin() override;

    // The window's creation: start-up with its window steps. False when the start-up failed
    // (already reported); the caller then ends the application without running its loop.
    bool FormCreate();
    bool Ready() const { return ready_; }
    // Captions from the common texts; nothing before the start-up has finished.
    void FormShow();

    // Operations offered to the lesson flow.
    void ShowStanding(const std::string& text, const lesson::LearnerStanding& standing);
    void ShowInfo(const std::string& text, const std::string& placement, int p_number = 0);
    void SetCommentName(const std::string& name);
    const std::string& CommentName() const { return comment_name_; }
    void CloseDocumentWindow();
    bool OpenDocument(const std::string& program, const std::string& document);
    void PostUserMessage(int message, long param = 0);
    // The verdict line in its colour; an empty text clears it.
    void ShowVerdict(const QString& text, const QColor& colour);
    // Answer n's red frame on or off; its text is never left selected.
    void SetAnswerMarked(int n, bool marked);

    // The user list and the options window, created after the start-up for the whole run.
    void CreateUserWindows(windows::TEditView* edit_view);
    windows::TUsrList* UserList() const { return user_list_.get(); }
    windows::TUserOption* UserOption() const { return user_option_.get(); }
    // The GROUP and USERS files.
    data::DataAccess& GroupData() { return group_data_; }
    data::DataAccess& UserData() { return user_data_; }
    // The start timer, and every return to user selection: the user list is shown.
    void CommencerClick();
    // Config: the options window for the session's learner; the lesson flow's ConfigClick
    // follows when it closes with OK.
    void ConfigClick();
    // Reset: after a question, the progress of the learner selected in the user list is wiped.
    void ResetClick();
    // The user list filled again (language switch, Messages, Reset).
    void RefreshUserList();

    // Menu and button handlers.
    void LanguageClick(const std::string& caption);
    // Takes language with its texts (reporting a language that cannot be opened) and redraws.
    void SwitchLanguage(const std::string& language);
    void MessagesClick(bool checked);
    void TopicsClick();
    void InfoTextMouseDown();
    void SpeedButton1Click();
    void MediaPlayerNotify();
    // The about box: the application name and the version text (common text 7).
    void AboutMeClick();

    void SetEvents(TStagWinEvents* events) { events_ = events ? events : &no_events_; }
    StartupState& State() { return state_; }
    data::Course& Course() { return course_; }
    windows::SoundPlayer& Sounds() { return sounds_; }
    windows::TWinBox& MessageBox() { return box_; }
    script::ScriptEngine* Engine() const { return engine_.get(); }
    TStagWinHost* Host() const { return host_.get(); }
    QImage& Background() { return background_; }
    QWidget* Stage() const { return stage_; }
    QTimer* Timer() const { return timer_; }
    DocumentViewers& Viewers() { return viewers_; }

    // Controls, named as in the window layout.
    QFrame* Panel1() const { return panel1_; }
    QLabel* Panel2() const { return panel2_; }
    QFrame* Panel4() const { return panel4_; }
    QTextEdit* Label40() const { return label40_; }
    QTextEdit* AnswerLabel(int n) const { return answer_labels_[n - 1]; }  // Label1..Label6
    QPushButton* AnswerButton(int n) const { return answer_buttons_[n - 1]; }
    QPushButton* BitBtn1() const { return next_; }
    QPushButton* BitBtn2() const { return stop_; }
    QPushButton* BitBtn8() const { return prev_; }
    QPushButton* BitBtn10() const { return exit_; }
    QToolButton* SpeedButton1() const { return speed_button_; }
    QLabel* Label() const { return measure_label_; }
    QFrame* Panel11() const { return panel11_; }
    QFrame* PanelInfo() const { return panel_info_; }
    QTextEdit* InfoText() const { return info_text_; }
    QMediaPlayer* MediaPlayer() const { return media_player_; }
    QMenu* LanguageMenu() const { return language_menu_; }
    QMenu* OptionMenu() const { return option_menu_; }
    QMenu* HelpMenu() const { return help_menu_; }
    QAction* ConfigAction() const { return config_; }
    QAction* ResetAction() const { return reset_; }
    QAction* MessagesAction() const { return messages_; }
    QAction* TopicsAction() const { return topics_; }
    QAction* AboutMeAction() const { return about_me_; }
    QAction* QuitAction() const { return quit_; }
    const std::vector<QLabel*>& StatusPanels() const { return status_panels_; }

    // StartupView: start-up's error boxes and status line.
    void ShowErrorBox(const std::string& caption, const std::string& text) override;
    void ShowStatus(const std::string& text) override;

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
    void BuildLanguageMenu();
    bool CheckDisplay();
    void ShowSplash();
    void CreateEngine();
    void ApplyDeveloperStatus();
    // Starts the document program, remembering its window under title.
    bool StartDocument(const std::string& program, const std::string& document,
                       const std::string& title);
    int Box(const std::string& text, const std::string& caption, int icon, int buttons);
    // Stands in for the lesson flow's session start: shows the chosen learner.
    void ShowChosenUser();

    data::Course& course_;
    windows::SoundPlayer& sounds_;
    windows::TWinBox& box_;
    QPointer<windows::TApropos> about_;
    int argc_;
    const char* const* argv_;
    lesson::RemoteDataFactory make_remote_;
    StartupState state_;
    bool ready_ = false;
    TStagWinEvents no_events_;
    TStagWinEvents* events_ = &no_events_;
    std::unique_ptr<TStagWinHost> host_;
    std::unique_ptr<script::ScriptEngine> engine_;
    QImage background_;
    data::DataAccess group_data_;
    data::DataAccess user_data_;
    std::unique_ptr<windows::TUsrList> user_list_;
    std::unique_ptr<windows::TUserOption> user_option_;
    std::string comment_name_ = "-";
    DocumentViewers viewers_;
    int collapsed_height_ = 0;
    QPointer<QWidget> splash_;  // while it is shown, it stays above the main window  //
                                // SpeedButton1's tag: the expanded height while collapsed

    QWidget* stage_ = nullptr;
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
};

}  // namespace shell
