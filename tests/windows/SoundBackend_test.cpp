#include "windows/SoundBackend.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <vector>

#include "support/TempFolder.h"
#include "support/WavWriter.h"

namespace windows {
namespace {

// The clock the backend waits on, and a folder for the test's clips.
struct FakeTime {
    int64_t now = 1000;
    std::vector<int64_t> sleeps;
    support::TempFolder sounds;
    // A silent clip of ms milliseconds; its path.
    std::string Wav(const std::string& name, int ms) const {
        support::WriteWav(sounds.path / name, ms);
        return sounds / name;
    }
    SilentSoundBackend Backend() {
        return SilentSoundBackend([this] { return now; },
                                  [this](int64_t ms) {
                                      sleeps.push_back(ms);
                                      now += ms;
                                  });
    }
};

TEST(SilentSoundBackendTest, SynchronousWaitsForTheClip) {
    FakeTime t;
    auto out = t.Backend();
    std::string wav = t.Wav("sync.wav", 250);
    ASSERT_TRUE(out.Play(wav, kSoundSync));
    EXPECT_EQ(t.sleeps, std::vector<int64_t>{250});
    EXPECT_FALSE(out.IsPlaying());
}

TEST(SilentSoundBackendTest, AsynchronousPlaysForItsLengthAndNoStopRefuses) {
    FakeTime t;
    auto out = t.Backend();
    std::string wav = t.Wav("async.wav", 400);
    ASSERT_TRUE(out.Play(wav, kSoundAsync));
    EXPECT_TRUE(t.sleeps.empty());
    t.now += 399;
    EXPECT_TRUE(out.IsPlaying());
    // Flag 16 does not interrupt the sound still playing; without it the new one replaces it.
    EXPECT_FALSE(out.Play(wav, kSoundAsync | kSoundNoStop));
    EXPECT_TRUE(out.Play(wav, kSoundAsync));
    t.now += 399;
    EXPECT_TRUE(out.IsPlaying());
    t.now += 1;
    EXPECT_FALSE(out.IsPlaying());
    EXPECT_TRUE(out.Play(wav, kSoundAsync | kSoundNoStop));
}

TEST(SilentSoundBackendTest, LoopPlaysUntilStopped) {
    FakeTime t;
    auto out = t.Backend();
    std::string wav = t.Wav("loop.wav", 100);
    ASSERT_TRUE(out.Play(wav, kSoundAsync | kSoundLoop));
    t.now += 100000;
    EXPECT_TRUE(out.IsPlaying());
    out.Stop();
    EXPECT_FALSE(out.IsPlaying());
}

TEST(SilentSoundBackendTest, UnreadableFileFailsAndLeavesTheCurrentSound) {
    FakeTime t;
    auto out = t.Backend();
    std::string wav = t.Wav("keep.wav", 1000);
    std::string junk = t.sounds / "junk.wav";
    std::ofstream(junk) << "not a wave file";
    ASSERT_TRUE(out.Play(wav, kSoundAsync));
    EXPECT_FALSE(out.Play(junk, kSoundAsync));
    EXPECT_FALSE(out.Play(junk + ".missing", kSoundSync));
    EXPECT_TRUE(out.IsPlaying());
}

TEST(RecordingSoundBackendTest, RecordsPlaysAndStops) {
    RecordingSoundBackend rec;
    rec.Play("a.wav", kSoundAsync | kSoundLoop);
    EXPECT_FALSE(rec.Play("b.wav", kSoundAsync | kSoundNoStop));
    rec.Stop();
    rec.Play("c.wav", kSoundSync);
    using Call = RecordingSoundBackend::Call;
    std::vector<Call> want = {{"a.wav", 9, false}, {"", 0, true}, {"c.wav", 0, false}};
    EXPECT_EQ(rec.calls(), want);
    EXPECT_EQ(rec.PlayedPaths(), (std::vector<std::string>{"a.wav", "c.wav"}));
}

}  // namespace
}  // namespace windows
