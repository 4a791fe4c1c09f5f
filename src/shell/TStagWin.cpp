#include "shell/TStagWin.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMediaPlayer>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "data/CommonTexts.h"
#include "data/ConfigTable.h"
#include "data/CoursePaths.h"
#include "data/OpenCourse.h"
#include "lesson/LearnerFilesStore.h"
#include "lesson/LessonFlow.h"
#include "lesson/ScriptEngineLink.h"
#include "platform/Path.h"
#include "script/ScriptEngine.h"
#include "script/StageView.h"
#include "shell/TStagWinHost.h"
#include "shell/TStagWinLayout.h"
#include "text/FormatString.h"
#include "windows/FormScale.h"
#include "windows/QtText.h"
#include "windows/ScaledScreen.h"
#include "windows/TApropos.h"
#include "windows/TUserOption.h"
#include "windows/TUsrList.h"
#include "windows/TWinBox.h"

namespace shell {

using windows::FromCp1252;

namespace {

constexpr int kPanel4Left = 36;
constexpr int kPanel2Top = 10;
constexpr int kCommandWidth = 90;
constexpr int kCommandHeight = 28;
constexpr int kAnswerButtonSize = 28;
constexpr int kAnswerLabelHeight = 34;

// A read-only rich text as the window's answer and question boxes use.
QTextEdit* ReadOnlyText(QWidget* parent) {
    auto* t = new QTextEdit(parent);
    t->setReadOnly(true);
    t->setFrameShape(QFrame::NoFrame);
    t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return t;
}

QPushButton* GlyphButton(QWidget* parent, QStyle::StandardPixmap glyph, const char* caption) {
    auto* b = new QPushButton(parent->style()->standardIcon(glyph), caption, parent);
    return b;
}

// Flags of the languages the program knows, drawn as stripes when the course has no bitmap.
QPixmap BuiltInFlag(const std::string& name) {
    struct Flag {
        const char* name;
        bool vertical;
        QRgb colours[3];
    };
    static const Flag flags[] = {
        {"DE", false, {0x000000, 0xDD0000, 0xFFCE00}},
        {"ES", false, {0xAA151B, 0xF1BF00, 0xAA151B}},
        {"FR", true, {0x0055A4, 0xFFFFFF, 0xEF4135}},
        {"IT", true, {0x009246, 0xFFFFFF, 0xCE2B37}},
        {"NL", false, {0xAE1C28, 0xFFFFFF, 0x21468B}},
        {"PL", false, {0xFFFFFF, 0xFFFFFF, 0xDC143C}},
        {"PT", true, {0x006600, 0xFF0000, 0xFF0000}},
        {"GB", false, {0x012169, 0xFFFFFF, 0xC8102E}},
    };
    for (const Flag& f : flags) {
        if (name != f.name) continue;
        QPixmap pixmap(24, 16);
        QPainter p(&pixmap);
        for (int i = 0; i < 3; ++i) {
            QRect r = f.vertical ? QRect(i * 8, 0, 8, 16) : QRect(0, i * 16 / 3, 24, 6);
            p.fillRect(r, QColor(f.colours[i]));
        }
        if (name == "GB") {  // blue field with a white-edged red cross
            p.fillRect(pixmap.rect(), QColor(f.colours[0]));
            p.fillRect(QRect(9, 0, 6, 16), QColor(f.colours[1]));
            p.fillRect(QRect(0, 5, 24, 6), QColor(f.colours[1]));
            p.fillRect(QRect(10, 0, 4, 16), QColor(f.colours[2]));
            p.fillRect(QRect(0, 6, 24, 4), QColor(f.colours[2]));
        }
        return pixmap;
    }
    return {};
}

// A bitmap of the course (BMP\<name>.BMP), else the built-in one of that name, else none.
QIcon CourseIcon(const data::Course& course, const std::string& name) {
    if (name.empty()) return {};
    std::string path = course.Bitmap(name);
    QPixmap pixmap;
    if (platform::FileExists(path) && pixmap.load(QString::fromStdString(path))) return pixmap;
    QPixmap flag = BuiltInFlag(name);
    return flag.isNull() ? QIcon() : QIcon(flag);
}

}  // namespace

QEvent::Type UserMessageEvent::EventType() {
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

TStagWin::TStagWin(data::Course& course, windows::SoundPlayer& sounds, windows::TWinBox& box,
                   int argc, const char* const* argv, lesson::RemoteDataFactory make_remote)
    : course_(course),
      sounds_(sounds),
      box_(box),
      argc_(argc),
      argv_(argv),
      make_remote_(std::move(make_remote)) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    resize(759, 548);
    CreateControls();
    CreateMenus();
}

TStagWin::~TStagWin() {
    // The main window's destruction: the engine first (it draws on this window), then the
    // remote link and the trace log with its closing line.
    flow_.reset();
    link_.reset();
    store_.reset();
    // What the server's thread still holds is sent within the bound; the rest is caught up at
    // the learner's next session (the server's record is then behind).
    const bool busy_cursor = server_wait_shown_ && !worker_;
    if (worker_ && !worker_->Drain(server_bound_))
        std::fprintf(stderr,
                     "data server: no answer within %lld ms; %zu requests left for the "
                     "next session\n",
                     static_cast<long long>(server_bound_.count()), worker_->Pending());
    worker_.reset();
    // The client outlives the window's flow: it must not call back into the window.
    if (client_) client_->SetWaitHandler(nullptr);
    if (busy_cursor) QApplication::restoreOverrideCursor();
    engine_.reset();
    host_.reset();
    ShutdownStartup(course_, state_);
}

void TStagWin::CreateControls() {
    // The stage and everything on it keep the design size; the screen shows them scaled.
    stage_ = new script::StageView(background_);
    stage_->setObjectName("Image");
    stage_->setEnabled(true);
    screen_ = new windows::ScaledScreen(stage_, QSize(759, 548), this);
    screen_->setObjectName("Screen");
    connect(screen_, &windows::ScaledScreen::Refitted, this, [this] {
        ScaleBars();
        TraceScreen();
    });
    setCentralWidget(screen_);

    panel1_ = new QFrame(stage_);
    panel1_->setFrameShape(QFrame::StyledPanel);
    panel1_->setAutoFillBackground(true);
    panel1_->setObjectName("Panel1");
    panel1_->hide();
    // The verdict line has its own band above the control panel: the verdict's green and red
    // on black read at 15:1 and 5.3:1 and never cover the question.
    panel2_ = new QLabel(stage_);
    panel2_->setObjectName("Panel2");
    QFont bold = panel2_->font();
    bold.setBold(true);
    bold.setPixelSize(15);
    panel2_->setFont(bold);
    panel2_->setAutoFillBackground(true);
    panel2_->setIndent(6);
    QPalette verdict = panel2_->palette();
    verdict.setColor(QPalette::Window, Qt::black);
    panel2_->setPalette(verdict);
    panel2_->setAccessibleName("Verdict");
    panel2_->hide();
    panel4_ = new QFrame(panel1_);
    panel4_->setFrameShape(QFrame::Panel);
    panel4_->setFrameShadow(QFrame::Sunken);
    panel4_->setObjectName("Panel4");
    label40_ = ReadOnlyText(panel4_);
    label40_->setAccessibleName("Question");
    label40_->setObjectName("Label40");
    for (int i = 0; i < 6; ++i) {
        // Read-only and out of reach of mouse and keyboard, but enabled: the answers are drawn
        // in the question's colours, not in the disabled grey.
        QTextEdit* answer = ReadOnlyText(panel1_);
        answer->setPalette(label40_->palette());
        answer->setTextInteractionFlags(Qt::NoTextInteraction);
        answer->setFocusPolicy(Qt::NoFocus);
        answer->setObjectName(QString("Label%1").arg(i + 1));
        answer->setAccessibleName(QString("Answer %1").arg(i + 1));
        answer_labels_[i] = answer;
        SetAnswerMarked(i + 1, QColor());
        answer->hide();
        auto* b = new QPushButton(QString::number(i + 1), panel1_);
        QFont f = b->font();
        f.setBold(true);
        b->setFont(f);
        b->setProperty("tag", i + 1);
        b->setAccessibleName(QString::number(i + 1));
        b->hide();
        b->setObjectName(QString("Button%1").arg(i + 1));
        connect(b, &QPushButton::clicked, this, [this, i] { ButtonClick(i + 1); });
        answer_buttons_[i] = b;
    }
    // Design places of answers 5 and 6: a third row below 1/2 and 3/4.
    answer_buttons_[4]->setGeometry(kPanel4Left, 150, kAnswerButtonSize, kAnswerButtonSize);
    answer_buttons_[5]->setGeometry(kPanel4Left + 360, 150, kAnswerButtonSize, kAnswerButtonSize);
    answer_labels_[4]->setGeometry(kPanel4Left + 38, 150, 300, kAnswerLabelHeight);
    answer_labels_[5]->setGeometry(kPanel4Left + 398, 150, 300, kAnswerLabelHeight);

    next_ = GlyphButton(panel1_, QStyle::SP_ArrowRight, "&Next");
    next_->setEnabled(false);
    stop_ = GlyphButton(panel1_, QStyle::SP_MediaStop, "&Stop");
    prev_ = GlyphButton(panel1_, QStyle::SP_ArrowLeft, "&Prev");
    prev_->setEnabled(false);
    prev_->hide();
    exit_ = GlyphButton(panel1_, QStyle::SP_DialogCancelButton, "Exit");
    exit_->setLayoutDirection(Qt::RightToLeft);  // glyph on the right
    exit_->hide();
    next_->setObjectName("BitBtn1");
    stop_->setObjectName("BitBtn2");
    prev_->setObjectName("BitBtn8");
    exit_->setObjectName("BitBtn10");
    connect(next_, &QPushButton::clicked, this, &TStagWin::BitBtn1Click);
    connect(stop_, &QPushButton::clicked, this, &TStagWin::BitBtn2Click);
    connect(prev_, &QPushButton::clicked, this, &TStagWin::BitBtn8Click);
    connect(exit_, &QPushButton::clicked, this, &TStagWin::BitBtn7Click);

    speed_button_ = new QToolButton(panel1_);
    speed_button_->setObjectName("SpeedButton1");
    speed_button_->setIcon(style()->standardIcon(QStyle::SP_TitleBarShadeButton));
    connect(speed_button_, &QToolButton::clicked, this, &TStagWin::SpeedButton1Click);

    measure_label_ = new QLabel(stage_);
    measure_label_->setObjectName("Label");
    measure_label_->setAttribute(Qt::WA_TranslucentBackground);
    measure_label_->hide();

    panel11_ = new QFrame(stage_);
    panel11_->setObjectName("Panel11");
    panel11_->setFrameShape(QFrame::StyledPanel);
    panel11_->hide();
    struct Side {
        const char* caption;
        std::function<void()> click;
    };
    const Side side[] = {
        {"", [] {}},
        {"", [] {}},
        {"&Exit", [this] { BitBtn7Click(); }},
        {"&Next", [this] { BitBtn1Click(); }},
        {"&Stop", [this] { BitBtn2Click(); }},
        {"&Prev", [this] { BitBtn8Click(); }},
    };
    const char* names[] = {"BitBtn3", "BitBtn4", "BitBtn7", "BitBtn5", "BitBtn6", "BitBtn9"};
    for (int i = 0; i < 6; ++i) {
        auto* b = new QPushButton(side[i].caption, panel11_);
        b->setObjectName(names[i]);
        b->setGeometry(8, 8 + i * 34, kCommandWidth, kCommandHeight);
        connect(b, &QPushButton::clicked, this, side[i].click);
    }
    panel11_->resize(kCommandWidth + 16, 8 + 6 * 34);

    panel_info_ = new QFrame(stage_);
    panel_info_->setObjectName("PanelInfo");
    panel_info_->setFrameShape(QFrame::Panel);
    panel_info_->setAutoFillBackground(true);
    QPalette aqua = panel_info_->palette();
    aqua.setColor(QPalette::Window, QColor(0, 255, 255));
    aqua.setColor(QPalette::Base, QColor(0, 255, 255));
    panel_info_->setPalette(aqua);
    info_text_ = ReadOnlyText(panel_info_);
    info_text_->setAccessibleName("Information");
    info_text_->setObjectName("InfoText");
    info_text_->setPalette(aqua);
    info_text_->setAlignment(Qt::AlignCenter);
    info_text_->viewport()->installEventFilter(this);
    panel_info_->hide();

    media_player_ = new QMediaPlayer(this);
    media_button_ = new QPushButton(style()->standardIcon(QStyle::SP_MediaPlay), "", stage_);
    media_button_->hide();
    connect(media_button_, &QPushButton::clicked, media_player_, &QMediaPlayer::play);
    connect(media_player_, &QMediaPlayer::mediaStatusChanged, this,
            [this](QMediaPlayer::MediaStatus s) {
                if (s == QMediaPlayer::EndOfMedia) MediaPlayerNotify();
            });

    for (int i = 0; i < 5; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QString("StatusPanel%1").arg(i));
        label->setAlignment(Qt::AlignCenter);
        label->hide();
        statusBar()->addWidget(label);
        status_panels_.push_back(label);
    }

    timer_ = new QTimer(this);
    timer_->setObjectName("Timer");
    timer_->setInterval(3000);
    connect(timer_, &QTimer::timeout, this, &TStagWin::CommencerClick);
    panel1_->installEventFilter(this);  // the verdict line follows the panel
}

void TStagWin::CreateMenus() {
    QMenuBar* bar = menuBar();
    language_menu_ = bar->addMenu("Language");
    language_menu_->setObjectName("LanguageMenu");
    language_action_ = language_menu_->menuAction();
    language_action_->setVisible(false);
    config_ = bar->addAction("Config");
    config_->setObjectName("Config");
    config_->setVisible(false);
    connect(config_, &QAction::triggered, this, &TStagWin::ConfigClick);
    option_menu_ = bar->addMenu("Option");
    option_menu_->setObjectName("OptionMenu");
    option_action_ = option_menu_->menuAction();
    option_action_->setVisible(false);
    reset_ = option_menu_->addAction("Reset");
    reset_->setObjectName("Reset");
    reset_->setEnabled(false);
    connect(reset_, &QAction::triggered, this, &TStagWin::ResetClick);
    messages_ = option_menu_->addAction("Messages");
    messages_->setObjectName("Messages");
    messages_->setCheckable(true);
    connect(messages_, &QAction::toggled, this, &TStagWin::MessagesClick);
    help_menu_ = bar->addMenu("Help");
    help_menu_->setObjectName("HelpMenu");
    topics_ = help_menu_->addAction("Topics");
    topics_->setObjectName("Topics");
    connect(topics_, &QAction::triggered, this, &TStagWin::TopicsClick);
    full_screen_ = help_menu_->addAction("Full screen");
    full_screen_->setObjectName("FullScreen");
    full_screen_->setCheckable(true);
    full_screen_->setShortcut(Qt::Key_F11);
    addAction(full_screen_);  // F11 works with the menu closed
    connect(full_screen_, &QAction::triggered, this, &TStagWin::ToggleFullScreen);
    help_menu_->addSeparator();
    about_me_ = help_menu_->addAction("About");
    about_me_->setObjectName("AboutMe");
    connect(about_me_, &QAction::triggered, this, &TStagWin::AboutMeClick);
    quit_ = bar->addAction("Quit");
    quit_->setObjectName("Quit");
    connect(quit_, &QAction::triggered, this, &QWidget::close);
    menu_bar_font_ = bar->font();
    menu_font_ = help_menu_->font();
    status_bar_font_ = statusBar()->font();
}

void TStagWin::LayoutControls() {
    int stage_width = stage_->width() > 0 ? stage_->width() : width();
    int stage_height = stage_->height() > 0 ? stage_->height() : height();
    ControlPanelLayout l =
        LayoutControlPanel(0, stage_width, stage_height, kPanel4Left, kPanel2Top, kCommandWidth,
                           kCommandHeight, kAnswerButtonSize, kAnswerLabelHeight);
    auto place = [](QWidget* w, const Rect& r) {
        w->setGeometry(r.left, r.top, r.width, r.height);
    };
    int height = collapsed_height_ != 0 ? kCollapsedPanelHeight : l.panel1.height;
    panel1_->setGeometry(l.panel1.left, stage_height - height, l.panel1.width, height);
    place(panel4_, l.panel4);
    place(label40_, l.label40);
    place(stop_, l.stop);
    place(next_, l.next);
    place(prev_, l.prev);
    place(exit_, l.exit);
    for (int i = 0; i < 4; ++i) {
        place(answer_buttons_[i], l.button[i]);
        place(answer_labels_[i], l.label[i]);
    }
    place(speed_button_, l.speed_button);
    speed_button_->show();
    panel2_->hide();
    PlaceVerdict();
}

void TStagWin::PlaceVerdict() {
    const QRect p1 = panel1_->geometry();
    const QRect p4 = panel4_->geometry();
    Rect r = LayoutVerdictLine({p1.x(), p1.y(), p1.width(), p1.height()},
                               {p4.x(), p4.y(), p4.width(), p4.height()});
    panel2_->setGeometry(r.left, r.top, r.width, r.height);
}

void TStagWin::ShowVerdict(const QString& text, const QColor& colour) {
    const bool news = !text.isEmpty() && text != panel2_->text();
    panel2_->setText(text);
    QPalette p = panel2_->palette();
    p.setColor(QPalette::WindowText, colour);
    panel2_->setPalette(p);
    PlaceVerdict();
    panel2_->setVisible(!text.isEmpty() && panel1_->isVisibleTo(this));
    if (panel2_->isVisibleTo(this)) panel2_->raise();
    if (news) {
        // Screen readers announce the verdict as it appears.
        panel2_->setAccessibleDescription(text);
        QAccessibleEvent alert(panel2_, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
        TraceVerdict();
    }
}

QRect TStagWin::OnScreen(const QWidget* control) const {
    const double scale = screen_->Scale();
    const QPoint corner = control->mapTo(stage_, QPoint(0, 0));
    const QPoint at = screen_->mapToGlobal(screen_->FromContent(corner));
    return QRect(at, QSize(int(control->width() * scale), int(control->height() * scale)));
}

void TStagWin::ScaleBars() {
    // Bars grow with the stage but never shrink below the desktop's own font, which the
    // learner chose to read. Taller bars leave the stage a little less room, which refits it:
    // small changes are left alone so that the two settle at once.
    const double scale = std::max(1.0, screen_->Scale());
    if (!help_menu_ || std::abs(scale - bars_scale_) < 0.01) return;
    bars_scale_ = scale;
    menuBar()->setFont(windows::ScaledFont(menu_bar_font_, scale));
    for (QMenu* menu : {language_menu_, option_menu_, help_menu_})
        menu->setFont(windows::ScaledFont(menu_font_, scale));
    statusBar()->setFont(windows::ScaledFont(status_bar_font_, scale));
}

void TStagWin::TraceScreen() {
    if (!course_.Flags().Has(data::Trace) || !stage_) return;
    const QRect r = OnScreen(stage_);
    course_.Trace().AppendFormatted("#screen %.3f %d,%d %dx%d design %dx%d", screen_->Scale(),
                                    r.x(), r.y(), r.width(), r.height(), stage_->width(),
                                    stage_->height());
}

void TStagWin::TraceVerdict() {
    if (!course_.Flags().Has(data::Trace)) return;
    std::string line = "#verdict";
    auto add = [&line](const std::string& name, const QRect& r) {
        line += text::FormatString(" %s %d,%d %dx%d", name.c_str(), r.x(), r.y(), r.width(),
                                   r.height());
    };
    add("verdict", OnScreen(panel2_));
    add("question", OnScreen(panel4_));
    for (int i = 0; i < 6; ++i)
        if (answer_labels_[i]->isVisibleTo(panel1_))
            add("answer" + std::to_string(i + 1), OnScreen(answer_labels_[i]));
    course_.Trace().AppendLine(line);
}

void TStagWin::ToggleFullScreen() {
    // The geometry is set too: without a window manager the state alone changes nothing.
    if (isFullScreen()) {
        showNormal();
        if (normal_geometry_.isValid()) setGeometry(normal_geometry_);
    } else {
        normal_geometry_ = geometry();
        showFullScreen();
        if (QScreen* s = screen()) setGeometry(s->geometry());
    }
    full_screen_->setChecked(isFullScreen());
}

void TStagWin::SetAnswerMarked(int n, const QColor& mark) {
    QTextEdit* answer = answer_labels_[n - 1];
    // The answer button is announced with its answer's text.
    if (QPushButton* button = answer_buttons_[n - 1]) {
        button->setAccessibleName(QString("%1. %2").arg(n).arg(answer->toPlainText().simplified()));
        button->setAccessibleDescription(answer->toPlainText());
    }
    // A frame of the same width either way, so that the text keeps its place.
    answer->setStyleSheet(QString("QTextEdit { border: 2px solid %1; }")
                              .arg(mark.isValid() ? mark.name() : QString("transparent")));
    answer->setTextCursor(QTextCursor(answer->document()));  // nothing selected
}

void TStagWin::FormShow() {
    if (!ready_) return;
    text::MessageFile& c = course_.Common();
    state_.caption = c.GetText(data::kTextCaption);
    course_.SetTitle(c.GetText(data::kTextTitle, state_.caption, 4, 7));
    QApplication::setApplicationDisplayName(QString());
    std::string caption = state_.caption + " [" + c.GetText(data::kTextCaptionUser) + " - ";
    std::string nine = c.GetText(data::kTextNoUser);
    caption += nine.substr(0, nine.find('\n')) + "]";
    setWindowTitle(FromCp1252(caption));
    language_menu_->setTitle(FromCp1252(c.GetText(data::kTextLanguageMenu)));
    config_->setText(FromCp1252(c.GetText(data::kTextConfigure)));
    option_menu_->setTitle(FromCp1252(c.GetText(data::kTextOptionsMenu)));
    reset_->setText(FromCp1252(c.GetText(data::kTextReset)));
    reset_->setEnabled(true);
    help_menu_->setTitle(FromCp1252(c.GetText(data::kTextHelpMenu)));
    topics_->setText(FromCp1252(c.GetText(data::kTextTopics)));
    about_me_->setText(FromCp1252(c.GetText(data::kTextAbout)));
    quit_->setText(FromCp1252(c.GetText(data::kTextQuit)));
    next_->setText(FromCp1252(c.GetText(data::kTextNext)));
    stop_->setText(FromCp1252(c.GetText(data::kTextStop)));
    prev_->setText(FromCp1252(c.GetText(data::kTextPrev)));
    exit_->setText(FromCp1252(c.GetText(data::kTextExitCaption)));
    if (course_.Flags().Has(data::PrevButton)) prev_->show();
    speed_button_->setToolTip(FromCp1252(c.GetText(collapsed_height_ != 0 ? 114 : 113)));
    stop_->setEnabled(course_.Flags().Has(data::Developer) ||
                      course_.Config().GetInt(data::kEvaluate) == 0);
}

void TStagWin::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    LayoutControls();
    FormShow();
    if (splash_) splash_->raise();
}

void TStagWin::closeEvent(QCloseEvent* event) {
    if (!flow_ || flow_->CloseRequest())
        event->accept();
    else
        event->ignore();
}

void TStagWin::keyPressEvent(QKeyEvent* event) {
    if (flow_) {
        const int key = event->key();
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
    QMainWindow::keyPressEvent(event);
}

void TStagWin::BitBtn1Click() {
    if (flow_) flow_->NextClick();
}

void TStagWin::BitBtn2Click() {
    if (flow_) flow_->StopClick();
}

void TStagWin::BitBtn8Click() {
    if (flow_) flow_->PrevClick();
}

void TStagWin::BitBtn7Click() {
    if (flow_) flow_->ExitClick();
}

void TStagWin::ButtonClick(int tag) {
    if (flow_) flow_->ButtonClick(tag);
}

bool TStagWin::event(QEvent* e) {
    if (e->type() == UserMessageEvent::EventType()) {
        const int message = static_cast<UserMessageEvent*>(e)->message;
        if (!flow_) return true;
        if (message == lesson::kMsgUserChosen) {
            // The user list's choice, unless a preset learner is already given.
            if (user_list_ && user_list_->Tag() != -1) flow_->SetUserTag(user_list_->Tag());
            // A users file that does not open is told when the learner's record is read.
            store_->OpenFiles(course_.GroupFile(), course_.UsersFile());
        }
        flow_->UserMessage(message);
        return true;
    }
    return QMainWindow::event(e);
}

bool TStagWin::eventFilter(QObject* watched, QEvent* e) {
    if (watched == info_text_->viewport() && e->type() == QEvent::MouseButtonPress)
        InfoTextMouseDown();
    if (watched == panel1_) {
        if (e->type() == QEvent::Move || e->type() == QEvent::Resize) PlaceVerdict();
        if (e->type() == QEvent::Hide && !panel1_->isVisibleTo(this)) panel2_->hide();
    }
    return QMainWindow::eventFilter(watched, e);
}

void TStagWin::PostUserMessage(int message, long param) {
    QCoreApplication::postEvent(this, new UserMessageEvent(message, param));
}

int TStagWin::Box(const std::string& text, const std::string& caption, int icon, int buttons) {
    return box_.Ask(text, caption, nullptr, 0, icon, buttons);
}

void TStagWin::ShowErrorBox(const std::string& caption, const std::string& text) {
    Box(text, caption, windows::kIconError, windows::kButtonOk);
}

void TStagWin::ShowStatus(const std::string& text) {
    if (text.empty())
        statusBar()->clearMessage();
    else
        statusBar()->showMessage(FromCp1252(text));
    statusBar()->repaint();
}

void TStagWin::ShowStanding(const std::string& text, const lesson::LearnerStanding& s) {
    text::MessageFile& c = course_.Common();
    statusBar()->clearMessage();  // off simple mode: the panels show
    std::vector<std::string> texts;
    texts.push_back(c.GetText(data::kTextStatusGroup, s.group_name));
    texts.push_back(s.user_name);
    texts.push_back(c.GetText(data::kTextStatusLevel, s.level));
    if (course_.Flags().Has(data::Developer))
        texts.push_back(c.GetText(data::kTextStatusStep, s.step, s.steps));
    texts.push_back(
        c.GetText(data::kTextStatusScore, s.total, StandingPercent(s.total, s.total_worth)));
    size_t sized = texts.size();
    texts.push_back(text);
    while (status_panels_.size() < texts.size()) {
        auto* label = new QLabel(this);
        label->setObjectName(QString("StatusPanel%1").arg(status_panels_.size()));
        label->setAlignment(Qt::AlignCenter);
        statusBar()->addWidget(label);
        status_panels_.push_back(label);
    }
    QFontMetrics fm(statusBar()->font());
    for (size_t i = 0; i < status_panels_.size(); ++i) {
        QLabel* panel = status_panels_[i];
        QString value = i < texts.size() ? FromCp1252(texts[i]) : QString();
        panel->setText(value);
        if (i < sized) panel->setFixedWidth(fm.horizontalAdvance(value) + 40);
        panel->setVisible(i < texts.size());
    }
}

void TStagWin::ShowInfo(const std::string& text, const std::string& placement, int p_number) {
    if (text.empty()) return;
    std::string shown = text;
    if (p_number != 0) shown += "\n" + course_.Common().GetText(data::kTextInfoNumber, p_number);
    QString body = FromCp1252(shown);
    info_text_->setPlainText(body);
    info_text_->setAlignment(Qt::AlignCenter);
    QFontMetrics measure(measure_label_->font());
    std::vector<int> widths;
    for (const QString& line : body.split('\n')) widths.push_back(measure.horizontalAdvance(line));
    int margin = int(info_text_->document()->documentMargin());
    InfoPanelGeometry g = LayoutInfoPanel(ParseInfoPlacement(placement), widths,
                                          QFontMetrics(info_text_->font()).height(), margin,
                                          stage_->width(), panel_info_->y());
    panel_info_->setGeometry(g.left, g.top, g.width, g.height);
    info_text_->setGeometry(0, 0, g.width, g.height);
    info_text_->viewport()->setCursor(comment_name_ != "-" ? Qt::PointingHandCursor
                                                           : Qt::ArrowCursor);
    panel_info_->show();
    panel_info_->raise();
    panel_info_->repaint();
    info_text_->repaint();
}

void TStagWin::SetCommentName(const std::string& name) {
    comment_name_ = name;
    info_text_->viewport()->setCursor(name != "-" ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TStagWin::SpeedButton1Click() {
    text::MessageFile& c = course_.Common();
    if (collapsed_height_ == 0) {
        collapsed_height_ = panel1_->height();
        speed_button_->setToolTip(FromCp1252(c.GetText(data::kTextPanelGrow)));
        panel4_->hide();
        stop_->hide();
        int bottom = panel1_->geometry().bottom();
        panel1_->setGeometry(panel1_->x(), bottom + 1 - kCollapsedPanelHeight, panel1_->width(),
                             kCollapsedPanelHeight);
    } else {
        int bottom = panel1_->geometry().bottom();
        panel1_->setGeometry(panel1_->x(), bottom + 1 - collapsed_height_, panel1_->width(),
                             collapsed_height_);
        panel4_->show();
        stop_->show();
        collapsed_height_ = 0;
        speed_button_->setToolTip(FromCp1252(c.GetText(data::kTextPanelShrink)));
    }
}

void TStagWin::AboutMeClick() {
    if (!about_) about_ = new windows::TApropos(this);
    about_->SetTexts(course_.Product().app_name, course_.Title());
    about_->exec();
}

void TStagWin::MediaPlayerNotify() {
    media_button_->hide();
}

void TStagWin::LanguageClick(const std::string& language) {
    if (language == course_.Config().Get(data::kLanguage)) return;
    SwitchLanguage(language);
    RefreshUserList();
}

void TStagWin::SwitchLanguage(const std::string& language) {
    const std::string previous = course_.Config().Get(data::kLanguage);
    const platform::Status changed = data::ChangeLanguage(course_, language);
    if (!changed) course_.Notifier().ShowSystemError(changed.what(), changed.code());
    if (course_.Config().Get(data::kLanguage) != previous) FormShow();
}

void TStagWin::MessagesClick(bool checked) {
    course_.Common().SetShowNumbers(checked);
    FormShow();
    RefreshUserList();
}

void TStagWin::BuildLanguageMenu() {
    language_menu_->clear();
    std::string common_name = std::filesystem::path(course_.Common().FileName()).stem().string();
    if (common_name.empty()) common_name = data::kCommonName;
    for (const data::LanguageEntry& entry :
         data::FindLanguages(course_, common_name, course_.CommonSeed())) {
        QAction* item =
            language_menu_->addAction(CourseIcon(course_, entry.code), FromCp1252(entry.caption));
        item->setObjectName(QString::fromStdString(entry.code));
        item->setCheckable(false);
        const std::string code = entry.code;
        connect(item, &QAction::triggered, this, [this, code] { LanguageClick(code); });
    }
}

void TStagWin::ApplyDeveloperStatus() {
    if (!course_.Flags().Has(data::Developer)) return;
    statusBar()->showMessage(course_.RemovableMedia() ? "CDROM" : "");
    auto* label = new QLabel(this);
    label->setObjectName(QString("StatusPanel%1").arg(status_panels_.size()));
    label->setAlignment(Qt::AlignCenter);
    label->hide();
    statusBar()->addWidget(label);
    status_panels_.push_back(label);
    QPalette p = palette();
    p.setColor(QPalette::Window, p.color(QPalette::Button));
    setPalette(p);
}

}  // namespace shell
