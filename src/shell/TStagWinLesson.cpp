// The main window as the lesson's view: it draws the flow's screen, asks its boxes and plays its
// sounds.
#include "shell/TStagWin.h"

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
#include <cstdlib>
#include <ctime>

#include "data/CommonTexts.h"
#include "data/Course.h"
#include "data/CoursePaths.h"
#include "lesson/LearnerFilesStore.h"
#include "lesson/LessonFlow.h"
#include "lesson/ScriptEngineLink.h"
#include "platform/Notifier.h"
#include "script/ScriptEngine.h"
#include "windows/BoxFit.h"
#include "windows/QtText.h"
#include "windows/ScaledScreen.h"
#include "windows/SoundPlayer.h"
#include "windows/TStat.h"
#include "windows/TUsrList.h"
#include "windows/TWinBox.h"
#include "windows/VerdictColour.h"

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

void TStagWin::CreateLesson() {
    client_ = state_.remote ? state_.remote->Client() : nullptr;
    store_ = std::make_unique<lesson::LearnerFilesStore>(course_.Root(), group_data_, user_data_,
                                                         client_);
    if (client_) {
        // In a lesson one time-out means the server is away: the session goes on locally and
        // the server catches up later. While a request waits the window shows it.
        client_->SetTimeoutLimit(1);
        // COURSEWARE_SERVER_WAIT_MS sets how long Stop, the lesson's end, closing and a
        // session's start wait for the server.
        if (const char* wait = std::getenv("COURSEWARE_SERVER_WAIT_MS")) {
            char* end = nullptr;
            const long ms = std::strtol(wait, &end, 10);
            if (end != wait && *end == '\0' && ms > 0 && ms <= 600000) SetServerBound(int(ms));
        }
        // From here the client belongs to its own thread: the window never waits on it; the
        // wait is shown in the status bar through a queued call.
        worker_ = std::make_unique<data::RemoteWorker>(
            *client_,
            [this](std::function<void()> call) {
                QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
            },
            [this](bool waiting) { ShowServerWait(waiting); });
        store_->SetWorker(worker_.get(), server_bound_);
    }
    link_ = std::make_unique<lesson::ScriptEngineLink>(*engine_);
    lesson::LessonSettings settings;
    settings.course = &course_;
    flow_ = std::make_unique<lesson::LessonFlow>(
        settings, lesson::LessonFlow::Ports{*this, *link_, *store_, *this, *this});
}

int TStagWin::Ask(const std::string& text, const std::string& caption, int icon, int buttons,
                  bool quiet) {
    // In automatic play every box confirms itself after a while.
    const bool automatic = course_.Has(data::AutoPlay);
    if (!quiet) {
        if (automatic) box_.Timer()->start();
        return box_.Ask(text, caption, nullptr, 0, icon, buttons);
    }
    windows::TWinBox own(course_, sounds_, this);
    own.SetQuiet(quiet);
    if (automatic) own.Timer()->start();
    return own.Ask(text, caption, nullptr, 0, icon, buttons);
}

void TStagWin::ShowSystemError(const std::string& text, int code) {
    course_.Notifier().ShowSystemError(text, code);
}

void TStagWin::ShowFailure(const platform::Status& failure) {
    course_.Notifier().ShowError(failure.Cause(), failure.what());
}

void TStagWin::ShowServerWait(bool waiting) {
    if (waiting) {
        if (!server_wait_shown_) {
            server_wait_shown_ = true;
            // The learner goes on while the server's thread waits: no busy cursor.
            if (!worker_) QApplication::setOverrideCursor(Qt::WaitCursor);
            ShowStatus(course_.CommonText(data::kTextServerWait,
                                          course_.Config().Get(data::kIPserv),
                                          course_.Config().GetInt(data::kIPport)));
        }
        // Painted at once when the request waits on this thread (no event loop runs then).
        if (!worker_) repaint();
        return;
    }
    if (!server_wait_shown_) return;
    server_wait_shown_ = false;
    if (!worker_) QApplication::restoreOverrideCursor();
    ShowStatus("");
}

void TStagWin::ShowStatusNote(const std::string& text) {
    if (!status_panels_.empty() && status_panels_.back()->isVisible()) {
        status_panels_.back()->setText(windows::FromCp1252(text));
        status_panels_.back()->repaint();
    } else {
        ShowStatus(text);
    }
}

void TStagWin::Show(const lesson::LessonScreen& s) {
    if (s.window_visible && !isVisible()) show();
    panel1_->setVisible(s.control_panel);
    SetRichText(label40_, s.question);
    for (int j = 1; j <= 6; ++j) {
        const bool marked = s.marked_answer == j;
        const QColor mark = windows::VerdictColour(s.marked_right);
        SetRichText(answer_labels_[j - 1], s.answers[j - 1], marked ? mark : QColor());
        SetAnswerMarked(j, marked ? mark : QColor());
        answer_labels_[j - 1]->setVisible(s.answer_visible[j - 1]);
        answer_buttons_[j - 1]->setVisible(s.answer_visible[j - 1]);
        answer_buttons_[j - 1]->setEnabled(s.button_enabled[j - 1]);
    }
    ShowVerdict(windows::FromCp1252(s.verdict), FromBgr(s.verdict_colour));
    next_->setEnabled(s.next_enabled);
    prev_->setEnabled(s.prev_enabled);
    panel11_->setVisible(s.side_panel);
    measure_label_->setText(windows::FromCp1252(s.hint));
    if (s.info_visible) {
        SetCommentName(s.comment_name);
        if (!panel_info_->isVisible() || shown_info_ != s.info_text) {
            ShowInfo(s.info_text, s.info_placement, s.info_p_number);
            shown_info_ = s.info_text;
        }
    } else {
        panel_info_->hide();
        shown_info_.clear();
    }
    if (s.status_simple) {
        for (QLabel* panel : status_panels_) panel->hide();
        ShowStatus(s.status_text);
    } else {
        ShowStanding(s.standing_text, s.standing);
    }
    config_->setVisible(s.config_menu);
    if (s.timer_interval_ms > 0) timer_->setInterval(s.timer_interval_ms);
    if (s.timer_enabled && !timer_->isActive()) timer_->start();
    if (!s.timer_enabled) timer_->stop();
    switch (s.focus) {
        case lesson::Focus::kAnswer1:
            answer_buttons_[0]->setFocus();
            break;
        case lesson::Focus::kNext:
            next_->setFocus();
            break;
        case lesson::Focus::kStop:
            stop_->setFocus();
            break;
        case lesson::Focus::kNone:
            break;
    }
}

bool TStagWin::StopShown() const {
    return stop_->isVisibleTo(this) && panel1_->isVisible();
}

windows::TStat& TStagWin::Statistics() {
    if (!statistics_) statistics_ = new windows::TStat(course_, this);
    return *statistics_;
}

// The flow's draws come from the course's one generator, seeded at start-up.
uint32_t TStagWin::Random() {
    return course_.Random()();
}

// In automatic play the statistics window answers and closes itself after the delay.
void TStagWin::CloseByItself(windows::TStat& stat, bool answer) {
    const data::OptionFlags& flags = course_.Flags();
    if (!flags.Has(data::AutoPlay)) return;
    const int position = static_cast<int>(course_.Random()() % 101);
    QTimer::singleShot(std::max(flags.auto_delay, 1) * 1000, &stat, [&stat, answer, position] {
        if (answer) stat.TrackBar()->setValue(position);
        stat.accept();
    });
}

// The statistics window goes where it hides none of the stage's objects: the learner reads on
// the stage what the window asks about.
void TStagWin::PlaceClearOfStage(windows::TStat& stat) {
    std::vector<windows::BoxRect> objects;
    for (int kind = 0; kind < script::kKindCount; ++kind) {
        for (const script::StageObject* o : engine_->ObjectsInOrder(kind)) {
            if (!o->rec.visible) continue;
            const script::ObjectRecord& r = o->rec;
            objects.push_back(
                {r.x, r.y, std::max(r.width, r.target_width), std::max(r.height, r.target_height)});
        }
    }
    // The window's size on the stage: its design with the caption bar.
    const int caption = std::max(0, stat.frameGeometry().height() - stat.height());
    const windows::BoxRect at =
        windows::PlaceClearOf(stat.width(), stat.height() + std::max(caption, 30), stage_->width(),
                              stage_->height(), objects);
    stat.PlaceAt(screen_->mapToGlobal(screen_->FromContent(QPoint(at.left, at.top))));
}

int TStagWin::AskEstimate(const lesson::RichText& title, const lesson::RichText& text) {
    windows::TStat& stat = Statistics();
    stat.SetQuestion(title.text, text.text);
    stat.SetAsking(true);
    CloseByItself(stat, true);
    PlaceClearOfStage(stat);
    stat.ShowModal();
    const int position = stat.Answer();
    stat.SetAsking(false);
    return position;
}

void TStagWin::ShowAnswer(const lesson::AnswerWindow& w) {
    windows::TStat& stat = Statistics();
    std::string answer = w.answer.text;
    if (!w.stake.empty()) answer += "\n" + w.stake;
    stat.SetAnswer({w.caption, w.question.text, answer, w.verdict, w.comment.text,
                    w.verdict_colour == lesson::kColourGreen, w.slider});
    stat.SetAsking(false);
    CloseByItself(stat, false);
    PlaceClearOfStage(stat);
    stat.ShowModal();
}

void TStagWin::ShowUserList() {
    windows::TUsrList* list = user_list_.get();
    // A learner given on the command line starts at once.
    if (!list || (course_.Has(data::PresetSession) && flow_->UserTag() != -1)) {
        if (flow_->UserTag() != -1) PostUserMessage(lesson::kMsgUserChosen);
        return;
    }
    list->SetTag(flow_->UserTag());
    list->show();
}

int TStagWin::StageWidth() const {
    return stage_->width();
}

int TStagWin::StageHeight() const {
    return stage_->height();
}

void TStagWin::PlayNumber(int number, bool wait) {
    sounds_.PlaySoundNumber(number, wait ? 0 : 1);
}

void TStagWin::PlayNamed(const std::string& name) {
    sounds_.PlaySoundNamed(name.c_str(), 1);
}

int64_t TStagWin::Now() {
    return static_cast<int64_t>(std::time(nullptr));
}

}  // namespace shell
