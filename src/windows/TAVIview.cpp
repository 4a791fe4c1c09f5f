#include "windows/TAVIview.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QMediaPlayer>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVideoSink>
#include <QVideoWidget>

#include "platform/Path.h"

namespace windows {

namespace {

constexpr int kPanelGap = 15;
constexpr int kPanel2Height = 34;
const QSize kDefaultDisplay(160, 120);

}  // namespace

AviLayout LayoutAviView(QSize video, int panel2_height, int controls_width) {
    AviLayout l;
    QSize size = video.isValid() && !video.isEmpty() ? video : kDefaultDisplay;
    l.panel1 = QRect(10, 10, size.width(), size.height());
    l.panel2 = QRect(10, l.panel1.bottom() + 1 + kPanelGap, size.width(), panel2_height);
    l.window = QSize(size.width() + 20, size.height() + panel2_height + 50);
    l.controls_left = (size.width() - controls_width) / 2;
    return l;
}

TAVIview::TAVIview(QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    panel1_ = new QVideoWidget(this);
    panel2_ = new QFrame(this);
    panel2_->setFrameShape(QFrame::Panel);
    panel2_->setFrameShadow(QFrame::Sunken);
    controls_ = new QWidget(panel2_);
    auto* row = new QHBoxLayout(controls_);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(2);
    player_ = new QMediaPlayer(this);
    player_->setVideoOutput(panel1_);

    struct ButtonDef {
        QStyle::StandardPixmap icon;
        const char* tip;
    };
    const ButtonDef defs[] = {
        {QStyle::SP_MediaPlay, "Play"},        {QStyle::SP_MediaPause, "Pause"},
        {QStyle::SP_MediaSkipForward, "Next"}, {QStyle::SP_MediaSkipBackward, "Previous"},
        {QStyle::SP_MediaSeekForward, "Step"}, {QStyle::SP_MediaSeekBackward, "Back"},
    };
    QToolButton* buttons[6];
    for (int i = 0; i < 6; ++i) {
        buttons[i] = new QToolButton(controls_);
        buttons[i]->setIcon(style()->standardIcon(defs[i].icon));
        buttons[i]->setToolTip(defs[i].tip);
        row->addWidget(buttons[i]);
    }
    connect(buttons[0], &QToolButton::clicked, this, [this] { player_->play(); });
    connect(buttons[1], &QToolButton::clicked, this, [this] { player_->pause(); });
    connect(buttons[2], &QToolButton::clicked, this,
            [this] { player_->setPosition(player_->duration()); });
    connect(buttons[3], &QToolButton::clicked, this, [this] { player_->setPosition(0); });
    connect(buttons[4], &QToolButton::clicked, this,
            [this] { player_->setPosition(player_->position() + 100); });
    connect(buttons[5], &QToolButton::clicked, this,
            [this] { player_->setPosition(std::max<qint64>(0, player_->position() - 100)); });
    controls_->adjustSize();

    connect(player_, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus s) {
        if (s == QMediaPlayer::EndOfMedia) MediaPlayerNotify();
    });
    // Queued: the sink announces a new size while holding its own lock, so reading the size
    // from inside that call would deadlock.
    connect(
        panel1_->videoSink(), &QVideoSink::videoSizeChanged, this,
        [this] { ApplyDisplaySize(panel1_->videoSink()->videoSize()); }, Qt::QueuedConnection);
    ApplyDisplaySize(QSize());
}

TAVIview::~TAVIview() {
    player_->stop();
}

void TAVIview::ApplyDisplaySize(QSize video) {
    AviLayout l = LayoutAviView(video, kPanel2Height, controls_->sizeHint().width());
    panel1_->setGeometry(l.panel1);
    panel2_->setGeometry(l.panel2);
    controls_->move(std::max(l.controls_left, 0), (kPanel2Height - controls_->height()) / 2);
    setFixedSize(l.window);
}

void TAVIview::PlayVideo(int left, int top, int option, const std::string& file) {
    player_->stop();
    player_->setSource(QUrl());
    player_->setSource(QUrl::fromLocalFile(QString::fromStdString(platform::NativePath(file))));
    move(left, top);
    looping_ = option == kLoopOption;
    play_count_ = 0;
    if (isVisible())
        Play();
    else
        show();
}

void TAVIview::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    ApplyDisplaySize(panel1_->videoSink()->videoSize());
    Play();
}

void TAVIview::closeEvent(QCloseEvent* event) {
    looping_ = false;
    player_->stop();
    QWidget::closeEvent(event);
}

void TAVIview::Play() {
    ++play_count_;
    player_->play();
}

void TAVIview::MediaPlayerNotify() {
    if (looping_ && isVisible()) {
        player_->setPosition(0);
        Play();
    }
}

}  // namespace windows
