#include "windows/QtSoundBackend.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

#include "windows/WavInfo.h"

namespace windows {

namespace {

constexpr int kEndMarginMs = 500;

int64_t NowMs() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

}  // namespace

QtSoundBackend::QtSoundBackend() : effect_(std::make_unique<QSoundEffect>()) {}

QtSoundBackend::~QtSoundBackend() = default;

bool QtSoundBackend::Play(const std::string& path, int flags) {
    if ((flags & kSoundNoStop) && IsPlaying()) return false;
    WavInfo info;
    if (!ReadWavInfo(path, info)) return false;
    Stop();
    effect_->setSource(QUrl::fromLocalFile(QString::fromStdString(path)));
    bool loop = (flags & kSoundAsync) && (flags & kSoundLoop);
    effect_->setLoopCount(loop ? QSoundEffect::Infinite : 1);
    effect_->play();
    int64_t length = info.DurationMs();
    if (flags & kSoundAsync) {
        playing_until_ = loop ? -1 : NowMs() + length;
        return effect_->status() != QSoundEffect::Error;
    }
    // Synchronous: wait for the end, or for the clip's length when no end is reported.
    QEventLoop wait;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &wait, &QEventLoop::quit);
    QObject::connect(effect_.get(), &QSoundEffect::playingChanged, &wait, [&] {
        if (!effect_->isPlaying() && effect_->status() != QSoundEffect::Loading) wait.quit();
    });
    limit.start(int(length + kEndMarginMs));
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    bool ok = effect_->status() != QSoundEffect::Error;
    effect_->stop();
    playing_until_ = 0;
    return ok;
}

void QtSoundBackend::Stop() {
    effect_->stop();
    playing_until_ = 0;
}

bool QtSoundBackend::IsPlaying() const {
    if (playing_until_ == -1) return true;
    return playing_until_ != 0 && NowMs() < playing_until_ &&
           effect_->status() != QSoundEffect::Error;
}

}  // namespace windows
