#include "windows/TWinSplash.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

namespace windows {

namespace {

QLabel* MakeCaption(QWidget* parent, int x, int y, int w, int h) {
    auto* label = new QLabel(parent);
    label->setGeometry(x, y, w, h);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setAttribute(Qt::WA_TranslucentBackground);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSize(font.pointSize() + 2);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    return label;
}

}  // namespace

TWinSplash::TWinSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(417, 292);
    image_ = new QLabel(this);
    image_->setGeometry(0, 0, 417, 292);
    image_->setScaledContents(true);
    label1_ = MakeCaption(this, 144, 64, 265, 73);
    label2_ = MakeCaption(this, 144, 152, 265, 49);
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setInterval(kLifetimeMs);
    connect(timer_, &QTimer::timeout, this, &QWidget::close);
    timer_->start();
}

bool TWinSplash::SetPicture(const QString& path) {
    QPixmap pixmap;
    if (!pixmap.load(path)) return false;
    image_->setPixmap(pixmap);
    return true;
}

}  // namespace windows
