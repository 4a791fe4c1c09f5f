#pragma once

#include <memory>

#include "windows/SoundBackend.h"

class QSoundEffect;

namespace windows {

// Plays WAVs through Qt Multimedia. A synchronous sound runs a local event loop until the
// effect stops, bounded by the clip's length plus a margin, because some outputs never
// report the end of a sound.
class QtSoundBackend : public SoundBackend {
  public:
    QtSoundBackend();
    ~QtSoundBackend() override;

    bool Play(const std::string& path, int flags) override;
    void Stop() override;
    bool IsPlaying() const override;

  private:
    std::unique_ptr<QSoundEffect> effect_;
    int64_t playing_until_ = 0;  // end of the current clip by the clock (0: none; -1: loop)
};

}  // namespace windows
