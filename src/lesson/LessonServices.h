// Sounds, clock and random numbers of the lesson flow, behind small interfaces so that tests
// and the headless runner replay a session exactly.
#pragma once

#include <cstdint>
#include <string>

namespace lesson {

// Sound-list numbers of the lesson.
inline constexpr int kSoundEvaluate = 13;
inline constexpr int kSoundRight = 15;
inline constexpr int kSoundWrong = 16;
inline constexpr int kSoundStop = 18;
inline constexpr int kSoundExit = 19;

class LessonSounds {
  public:
    virtual ~LessonSounds() = default;
    // Plays the sound numbered in the sound list; wait: until it ends.
    virtual void PlayNumber(int number, bool wait) = 0;
    // Plays SND\<name>.WAV without waiting.
    virtual void PlayNamed(const std::string& name) = 0;
};

class LessonClock {
  public:
    virtual ~LessonClock() = default;
    // Seconds, C library time.
    virtual int64_t Now() = 0;
    // A non-negative pseudo-random number.
    virtual uint32_t Random() = 0;
};

}  // namespace lesson
