#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace windows {

// Flags of the play-sound call, as callers pass them.
enum SoundFlag : int {
    kSoundSync = 0,     // wait until the sound has ended
    kSoundAsync = 1,    // return at once, the sound plays on
    kSoundLoop = 8,     // repeat until stopped (given together with kSoundAsync)
    kSoundNoStop = 16,  // fail instead of interrupting a sound already playing
};

// The one sound output of the player: plays one WAV at a time.
class SoundBackend {
  public:
    virtual ~SoundBackend() = default;
    // Plays the WAV at path with the flags above; false when it cannot be played or when
    // kSoundNoStop is given while another sound plays. A new sound replaces the one playing.
    virtual bool Play(const std::string& path, int flags) = 0;
    // Stops the sound now playing, if any.
    virtual void Stop() = 0;
    virtual bool IsPlaying() const = 0;
};

// Plays nothing but keeps the timing of real playback: a synchronous sound waits for the
// clip's length, an asynchronous one counts as playing for that long, a loop until stopped.
// The clock and the wait are injectable so that tests run without waiting.
class SilentSoundBackend : public SoundBackend {
  public:
    using Clock = std::function<int64_t()>;      // milliseconds, monotonic
    using Sleep = std::function<void(int64_t)>;  // waits that many milliseconds
    SilentSoundBackend();
    SilentSoundBackend(Clock clock, Sleep sleep);

    bool Play(const std::string& path, int flags) override;
    void Stop() override;
    bool IsPlaying() const override;

  private:
    Clock clock_;
    Sleep sleep_;
    bool looping_ = false;
    int64_t playing_until_ = 0;
};

// Remembers every call, for tests; "plays" asynchronous sounds until stopped or replaced.
class RecordingSoundBackend : public SoundBackend {
  public:
    struct Call {
        std::string path;  // empty for Stop
        int flags = 0;
        bool stop = false;
        bool operator==(const Call&) const = default;
    };
    bool Play(const std::string& path, int flags) override;
    void Stop() override;
    bool IsPlaying() const override { return playing_; }

    const std::vector<Call>& calls() const { return calls_; }
    void Clear() { calls_.clear(); }
    // Paths of the sounds played, in order, without the stops.
    std::vector<std::string> PlayedPaths() const;

  private:
    std::vector<Call> calls_;
    bool playing_ = false;
};

// The back end for this machine: Qt Multimedia when an audio output exists, else silent.
// PLAYER_SOUND=silent in the environment forces the silent one.
std::unique_ptr<SoundBackend> MakeSoundBackend();

}  // namespace windows
