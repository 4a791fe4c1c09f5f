#include "shell/TStagWinLesson.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <ctime>

#include "data/CommonTexts.h"
#include "data/Course.h"
#include "data/CoursePaths.h"
#include "platform/Notifier.h"
#include "windows/QtText.h"
#include "windows/SoundPlayer.h"
#include "windows/TStat.h"
#include "windows/TUsrList.h"
#include "windows/TWinBox.h"

namespace shell {
namespace {

QColor FromBgr(int32_t bgr) {
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

// The markup's colour codes: red, green, blue, black, yellow, white.
QColor SpanColour(int code) {
    static const QColor colours[] = {Qt::red,   Qt::green,  Qt::blue,
                                     Qt::black, Qt::yellow, Qt::white};
    return code >= 1 && code <= 6 ? colours[code - 1] : QColor();
}

// A styled text into a read-only rich text control. Span positions count characters of the
// courseware code page, one per character in the control too.
void SetRichText(QTextEdit* edit, const lesson::RichText& rich, const QColor& colour = QColor()) {
    // A fresh document, so that no colour or style of the previous text carries over.
    edit->clear();
    edit->setCurrentCharFormat(QTextCharFormat());
    edit->setPlainText(windows::FromCp1252(rich.text));
    QTextCursor cursor(edit->document());
    if (colour.isValid()) {
        cursor.select(QTextCursor::Document);
        QTextCharFormat all;
        all.setForeground(colour);
        cursor.mergeCharFormat(all);
    }
    for (const text::TextSpan& span : rich.spans) {
        QTextCharFormat f;
        const int style = span.attribute & 0x0F;
        if (style & text::MessageFile::kBold) f.setFontWeight(QFont::Bold);
        if (style & text::MessageFile::kUnderline) f.setFontUnderline(true);
        if (style & text::MessageFile::kStrikeOut) f.setFontStrikeOut(true);
        if (style & text::MessageFile::kItalic) f.setFontItalic(true);
        const QColor c = SpanColour((span.attribute >> 4) & 0x0F);
        if (c.isValid() && !colour.isValid()) f.setForeground(c);
        if (!span.font.empty()) f.setFontFamilies({windows::FromCp1252(span.font)});
        cursor.setPosition(span.start);
        cursor.setPosition(span.start + span.length, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(f);
    }
}

}  // namespace

TStagWinLesson::TStagWinLesson(TStagWin& window) : window_(window) {
    data::Course& s = window_.Course();
    StartupState& state = window_.State();
    client_ = state.remote ? state.remote->Client() : nullptr;
    store_ = std::make_unique<lesson::LearnerFilesStore>(s.Root(), window_.GroupData(),
                                                         window_.UserData(), client_);
    if (client_) {
        // In a lesson one time-out means the server is away: the session goes on locally and
        // the server catches up later. While a request waits the window shows it.
        client_->SetTimeoutLimit(1);
        client_->SetWaitHandler([this](bool waiting) { ShowServerWait(waiting); });
    }
    link_ = std::make_unique<lesson::ScriptEngineLink>(*window_.Engine());
    lesson::LessonSettings settings;
    settings.course = &s;
    flow_ = std::make_unique<lesson::LessonFlow>(
        settings, lesson::LessonFlow::Ports{*this, *link_, *store_, *this, *this});
    window_.SetEvents(this);
}

TStagWinLesson::~TStagWinLesson() {
    window_.SetEvents(nullptr);
    // The client outlives this object: it must not call back into it.
    if (client_) client_->SetWaitHandler(nullptr);
    if (server_wait_shown_) QApplication::restoreOverrideCursor();
}

void TStagWinLesson::KeyPress(int key) {
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            flow_->KeyPress(lesson::kKeyEnter);
            break;
        case Qt::Key_Space:
            flow_->KeyPress(lesson::kKeySpace);
            break;
        case Qt::Key_Escape:
            flow_->KeyPress(lesson::kKeyEscape);
            break;
        default:
            if (key >= Qt::Key_1 && key <= Qt::Key_6) flow_->KeyPress('1' + (key - Qt::Key_1));
            break;
    }
}

void TStagWinLesson::OpenLearnerFiles() {
    const data::Course& course = window_.Course();
    if (window_.GroupData().Handle() < 0)
        window_.GroupData().Open(course.GroupFile(), isam::OPEN_INOUT);
    if (window_.UserData().Handle() < 0)
        window_.UserData().Open(course.UsersFile(), isam::OPEN_INOUT);
}

void TStagWinLesson::UserMessage(int message, long) {
    if (message == lesson::kMsgUserChosen) {
        // The user list's choice, unless a preset learner is already given.
        if (window_.UserList() && window_.UserList()->Tag() != -1) {
            flow_->SetUserTag(window_.UserList()->Tag());
        }
        OpenLearnerFiles();
    }
    flow_->UserMessage(message);
}

int TStagWinLesson::Ask(const std::string& text, const std::string& caption, int icon, int buttons,
                        bool quiet) {
    // In automatic play every box confirms itself after a while.
    const bool automatic = window_.Course().Has(data::AutoPlay);
    if (!quiet) {
        if (automatic) window_.MessageBox().Timer()->start();
        return window_.MessageBox().Ask(text, caption, nullptr, 0, icon, buttons);
    }
    windows::TWinBox own(window_.Course(), window_.Sounds(), &window_);
    own.SetQuiet(quiet);
    if (automatic) own.Timer()->start();
    return own.Ask(text, caption, nullptr, 0, icon, buttons);
}

void TStagWinLesson::ShowSystemError(const std::string& text, int code) {
    window_.Course().Notifier().ShowSystemError(text, code);
}

void TStagWinLesson::ShowServerWait(bool waiting) {
    if (waiting) {
        if (!server_wait_shown_) {
            server_wait_shown_ = true;
            QApplication::setOverrideCursor(Qt::WaitCursor);
            data::Course& course = window_.Course();
            window_.ShowStatus(course.CommonText(data::kTextServerWait,
                                                 course.Config().Get(data::kIPserv),
                                                 course.Config().GetInt(data::kIPport)));
        }
        // Painted at once: the event loop does not run while the request waits.
        window_.repaint();
        return;
    }
    if (!server_wait_shown_) return;
    server_wait_shown_ = false;
    QApplication::restoreOverrideCursor();
    window_.ShowStatus("");
}

void TStagWinLesson::ShowStatusNote(const std::string& text) {
    const auto& panels = window_.StatusPanels();
    if (!panels.empty() && panels.back()->isVisible()) {
        panels.back()->setText(windows::FromCp1252(text));
        panels.back()->repaint();
    } else {
        window_.ShowStatus(text);
    }
}

void TStagWinLesson::Show(const lesson::LessonScreen& s) {
    if (s.window_visible && !window_.isVisible()) window_.show();
    window_.Panel1()->setVisible(s.control_panel);
    SetRichText(window_.Label40(), s.question);
    for (int j = 1; j <= 6; ++j) {
        const bool marked = s.marked_answer == j;
        SetRichText(window_.AnswerLabel(j), s.answers[j - 1], marked ? QColor(Qt::red) : QColor());
        window_.SetAnswerMarked(j, marked);
        window_.AnswerLabel(j)->setVisible(s.answer_visible[j - 1]);
        window_.AnswerButton(j)->setVisible(s.answer_visible[j - 1]);
        window_.AnswerButton(j)->setEnabled(s.button_enabled[j - 1]);
    }
    window_.ShowVerdict(windows::FromCp1252(s.verdict), FromBgr(s.verdict_colour));
    window_.BitBtn1()->setEnabled(s.next_enabled);
    window_.BitBtn8()->setEnabled(s.prev_enabled);
    window_.Panel11()->setVisible(s.side_panel);
    window_.Label()->setText(windows::FromCp1252(s.hint));
    if (s.info_visible) {
        window_.SetCommentName(s.comment_name);
        if (!window_.PanelInfo()->isVisible() || shown_info_ != s.info_text) {
            window_.ShowInfo(s.info_text, s.info_placement, s.info_p_number);
            shown_info_ = s.info_text;
        }
    } else {
        window_.PanelInfo()->hide();
        shown_info_.clear();
    }
    if (s.status_simple) {
        for (QLabel* panel : window_.StatusPanels()) panel->hide();
        window_.ShowStatus(s.status_text);
    } else {
        window_.ShowStanding(s.standing_text, s.standing);
    }
    window_.ConfigAction()->setVisible(s.config_menu);
    if (s.timer_interval_ms > 0) window_.Timer()->setInterval(s.timer_interval_ms);
    if (s.timer_enabled && !window_.Timer()->isActive()) window_.Timer()->start();
    if (!s.timer_enabled) window_.Timer()->stop();
    switch (s.focus) {
        case lesson::Focus::kAnswer1:
            window_.AnswerButton(1)->setFocus();
            break;
        case lesson::Focus::kNext:
            window_.BitBtn1()->setFocus();
            break;
        case lesson::Focus::kStop:
            window_.BitBtn2()->setFocus();
            break;
        case lesson::Focus::kNone:
            break;
    }
}

bool TStagWinLesson::StopShown() const {
    return window_.BitBtn2()->isVisibleTo(&window_) && window_.Panel1()->isVisible();
}

windows::TStat& TStagWinLesson::Statistics() {
    if (!statistics_) statistics_ = new windows::TStat(window_.Course(), &window_);
    return *statistics_;
}

// The flow's draws come from the course's one generator, seeded at start-up.
uint32_t TStagWinLesson::Random() {
    return window_.Course().Random()();
}

// In automatic play the statistics window answers and closes itself after the delay.
void TStagWinLesson::CloseByItself(windows::TStat& stat, bool answer) {
    const data::OptionFlags& flags = window_.Course().Flags();
    if (!flags.Has(data::AutoPlay)) return;
    const int position = static_cast<int>(window_.Course().Random()() % 101);
    QTimer::singleShot(std::max(flags.auto_delay, 1) * 1000, &stat, [&stat, answer, position] {
        if (answer) stat.TrackBar()->setValue(position);
        stat.accept();
    });
}

int TStagWinLesson::AskEstimate(const lesson::RichText& title, const lesson::RichText& text) {
    windows::TStat& stat = Statistics();
    stat.SetQuestion(title.text, text.text);
    stat.SetAsking(true);
    CloseByItself(stat, true);
    stat.exec();
    const int position = stat.Answer();
    stat.SetAsking(false);
    return position;
}

void TStagWinLesson::ShowComment(const lesson::RichText& text, int verdict) {
    windows::TStat& stat = Statistics();
    stat.SetComment(text.text, verdict > 0);
    stat.SetAsking(false);
    CloseByItself(stat, false);
    stat.exec();
}

void TStagWinLesson::ShowUserList() {
    windows::TUsrList* list = window_.UserList();
    // A learner given on the command line starts at once.
    if (!list || (window_.Course().Has(data::PresetSession) && flow_->UserTag() != -1)) {
        if (flow_->UserTag() != -1) window_.PostUserMessage(lesson::kMsgUserChosen);
        return;
    }
    list->SetTag(flow_->UserTag());
    list->show();
}

void TStagWinLesson::CloseWindow() {
    window_.close();
}

int TStagWinLesson::StageWidth() const {
    return window_.Stage()->width();
}

int TStagWinLesson::StageHeight() const {
    return window_.Stage()->height();
}

void TStagWinLesson::PlayNumber(int number, bool wait) {
    window_.Sounds().PlaySoundNumber(number, wait ? 0 : 1);
}

void TStagWinLesson::PlayNamed(const std::string& name) {
    window_.Sounds().PlaySoundNamed(name.c_str(), 1);
}

int64_t TStagWinLesson::Now() {
    return static_cast<int64_t>(std::time(nullptr));
}

}  // namespace shell
