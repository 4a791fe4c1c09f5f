#include "windows/SoundBackend.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <vector>

namespace windows {
namespace {

// Writes a silent 16-bit mono PCM WAV lasting ms milliseconds at 8000 Hz.
std::string WriteWav(const std::string& name, int ms) {
    uint32_t data = uint32_t(ms) * 16;  // 8000 samples/s * 2 bytes / 1000
    std::vector<uint8_t> b;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
    };
    auto put16 = [&](uint16_t v) {
        b.push_back(uint8_t(v));
        b.push_back(uint8_t(v >> 8));
    };
    auto tag = [&](const char* t) { b.insert(b.end(), t, t + 4); };
    tag("RIFF"), put32(36 + data), tag("WAVE"), tag("fmt "), put32(16), put16(1), put16(1);
    put32(8000), put32(16000), put16(2), put16(16), tag("data"), put32(data);
    b.resize(b.size() + data);
    std::string path = ::testing::TempDir() + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return path;
}

struct FakeTime {
    int64_t now = 1000;
    std::vector<int64_t> sleeps;
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
    std::string wav = WriteWav("sync.wav", 250);
    ASSERT_TRUE(out.Play(wav, kSoundSync));
    EXPECT_EQ(t.sleeps, std::vector<int64_t>{250});
    EXPECT_FALSE(out.IsPlaying());
}

TEST(SilentSoundBackendTest, AsynchronousPlaysForItsLengthAndNoStopRefuses) {
    FakeTime t;
    auto out = t.Backend();
    std::string wav = WriteWav("async.wav", 400);
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
    std::string wav = WriteWav("loop.wav", 100);
    ASSERT_TRUE(out.Play(wav, kSoundAsync | kSoundLoop));
    t.now += 100000;
    EXPECT_TRUE(out.IsPlaying());
    out.Stop();
    EXPECT_FALSE(out.IsPlaying());
}

TEST(SilentSoundBackendTest, UnreadableFileFailsAndLeavesTheCurrentSound) {
    FakeTime t;
    auto out = t.Backend();
    std::string wav = WriteWav("keep.wav", 1000);
    std::string junk = ::testing::TempDir() + "/junk.wav";
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
