#include "windows/SoundBackend.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QMediaDevices>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <thread>

#include "windows/QtSoundBackend.h"
#include "windows/WavInfo.h"

namespace windows {

namespace {

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

SilentSoundBackend::SilentSoundBackend()
    : SilentSoundBackend(SteadyMs, [](int64_t ms) {
          std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      }) {}

SilentSoundBackend::SilentSoundBackend(Clock clock, Sleep sleep)
    : clock_(std::move(clock)), sleep_(std::move(sleep)) {}

bool SilentSoundBackend::Play(const std::string& path, int flags) {
    if ((flags & kSoundNoStop) && IsPlaying()) return false;
    WavInfo info;
    if (!ReadWavInfo(path, info)) return false;
    Stop();
    int64_t length = info.DurationMs();
    if ((flags & kSoundAsync) == 0) {
        // Synchronous: the caller waits for the end (a loop cannot be synchronous).
        sleep_(length);
        return true;
    }
    looping_ = (flags & kSoundLoop) != 0;
    playing_until_ = clock_() + length;
    return true;
}

void SilentSoundBackend::Stop() {
    looping_ = false;
    playing_until_ = 0;
}

bool SilentSoundBackend::IsPlaying() const {
    return looping_ || clock_() < playing_until_;
}

bool RecordingSoundBackend::Play(const std::string& path, int flags) {
    if ((flags & kSoundNoStop) && playing_) return false;
    calls_.push_back({path, flags, false});
    playing_ = (flags & kSoundAsync) != 0;
    return true;
}

void RecordingSoundBackend::Stop() {
    calls_.push_back({"", 0, true});
    playing_ = false;
}

std::vector<std::string> RecordingSoundBackend::PlayedPaths() const {
    std::vector<std::string> out;
    for (const Call& c : calls_)
        if (!c.stop) out.push_back(c.path);
    return out;
}

std::unique_ptr<SoundBackend> MakeSoundBackend() {
    const char* forced = std::getenv("PLAYER_SOUND");
    if (forced && std::strcmp(forced, "silent") == 0) return std::make_unique<SilentSoundBackend>();
    if (!QCoreApplication::instance() || QMediaDevices::audioOutputs().isEmpty())
        return std::make_unique<SilentSoundBackend>();
    return std::make_unique<QtSoundBackend>();
}

}  // namespace windows
