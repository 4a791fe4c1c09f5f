#include "windows/SoundPlayer.h"

#include <gtest/gtest.h>

#include "support/CourseFolder.h"
#include "support/RecordingNotifier.h"

namespace windows {
namespace {

using support::CourseFolder;

class SoundPlayerTest : public ::testing::Test {
  protected:
    SoundPlayerTest() : player_(course_.Course(), std::make_unique<RecordingSoundBackend>()) {
        rec_ = static_cast<RecordingSoundBackend*>(&player_.Backend());
        course_.Course().SetNotifier(&notes_);
    }
    CourseFolder course_;
    SoundPlayer player_;
    RecordingSoundBackend* rec_;
    support::RecordingNotifier notes_;
    std::vector<std::string>& boxes_ = notes_.error_boxes;  // caption|text
};

TEST_F(SoundPlayerTest, NamedAndNumberedSoundsPlayWithTheirFlags) {
    EXPECT_TRUE(player_.PlaySoundNamed("START", kSoundSync));
    EXPECT_TRUE(player_.PlaySoundNumber(9, kSoundAsync | kSoundLoop));  // text 9: NEXT
    using Call = RecordingSoundBackend::Call;
    std::vector<Call> want = {{course_.Path("SND/START.WAV"), 0, false},
                              {course_.Path("SND/NEXT.WAV"), 9, false}};
    EXPECT_EQ(rec_->calls(), want);
    // A null name stops the looping sound.
    EXPECT_TRUE(player_.PlaySoundNamed(nullptr, kSoundAsync));
    EXPECT_TRUE(rec_->calls().back().stop);
    EXPECT_FALSE(rec_->IsPlaying());
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(SoundPlayerTest, SilentOnlyStops) {
    player_.SetSilent(true);
    player_.PlaySoundNamed("START", kSoundAsync);
    player_.PlaySoundNumber(4, kSoundSync);
    ASSERT_EQ(rec_->calls().size(), 2u);
    EXPECT_TRUE(rec_->calls()[0].stop);
    EXPECT_TRUE(rec_->calls()[1].stop);
}

TEST_F(SoundPlayerTest, MissingSoundsAreReportedOnlyInDeveloperMode) {
    const int count = int(std::size(support::kSoundNames));
    for (bool developer : {false, true}) {
        boxes_.clear();
        player_.SetDeveloper(developer);
        EXPECT_FALSE(player_.PlaySoundNamed("GHOST", kSoundAsync));
        EXPECT_FALSE(player_.PlaySoundNumber(count, kSoundAsync));  // one past the last text
        EXPECT_FALSE(player_.PlaySoundNumber(-1, kSoundAsync));
        if (!developer) {
            EXPECT_TRUE(boxes_.empty());
            continue;
        }
        ASSERT_EQ(boxes_.size(), 3u);
        EXPECT_EQ(boxes_[0].rfind(
                      "Sound|Sound " + course_.Path("SND/GHOST.WAV") + " cannot be played\n", 0),
                  0u)
            << boxes_[0];
        EXPECT_EQ(boxes_[1], "Sound|No sound of that number");
    }
    EXPECT_TRUE(rec_->calls().empty());
}

TEST_F(SoundPlayerTest, WithoutTheSoundListNumbersFailQuietly) {
    std::filesystem::remove(course_.Path("MSG/SND.MSG"));
    player_.SetDeveloper(true);
    EXPECT_FALSE(player_.PlaySoundNumber(4, kSoundAsync));
    EXPECT_TRUE(boxes_.empty());
    // A missing named sound then names the path as the caption.
    EXPECT_FALSE(player_.PlaySoundNamed("GHOST", kSoundAsync));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].rfind(course_.Path("SND/GHOST.WAV|"), 0), 0u) << boxes_[0];
}

}  // namespace
}  // namespace windows
