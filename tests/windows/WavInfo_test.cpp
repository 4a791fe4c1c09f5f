#include "windows/WavInfo.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/Bytes.h"
#include "support/TempFolder.h"

namespace windows {
namespace {

using support::PutLe16;
using support::PutLe32;
using support::PutTag;

// A PCM header: rate Hz, channels, 16 bits, with an optional odd-sized chunk before "data".
std::vector<uint8_t> Header(int rate, int channels, uint32_t data_bytes, bool extra_chunk) {
    std::vector<uint8_t> b;
    PutTag(b, "RIFF");
    PutLe32(b, 0);
    PutTag(b, "WAVE");
    PutTag(b, "fmt ");
    PutLe32(b, 16);
    PutLe16(b, 1);
    PutLe16(b, uint16_t(channels));
    PutLe32(b, uint32_t(rate));
    PutLe32(b, uint32_t(rate * channels * 2));
    PutLe16(b, uint16_t(channels * 2));
    PutLe16(b, 16);
    if (extra_chunk) {
        PutTag(b, "LIST");
        PutLe32(b, 3);
        b.insert(b.end(), {'a', 'b', 'c', 0});  // 3 bytes + pad
    }
    PutTag(b, "data");
    PutLe32(b, data_bytes);
    return b;
}

TEST(WavInfoTest, DecodesLengthPastOtherChunks) {
    for (bool extra : {false, true}) {
        auto h = Header(8000, 1, 8000, extra);  // one second of 16-bit mono at 4000 Hz*2
        WavInfo info;
        ASSERT_TRUE(DecodeWavHeader(h, info)) << extra;
        EXPECT_EQ(info.channels, 1);
        EXPECT_EQ(info.sample_rate, 8000);
        EXPECT_EQ(info.DurationMs(), 500);
        EXPECT_EQ(info.data_offset, h.size());
    }
}

TEST(WavInfoTest, RejectsMalformedHeaders) {
    auto good = Header(22050, 2, 100, false);
    std::vector<std::vector<uint8_t>> bad;
    bad.push_back({});
    bad.push_back(std::vector<uint8_t>(good.begin(), good.begin() + 20));  // cut inside fmt
    auto no_wave = good;
    no_wave[8] = 'X';
    bad.push_back(no_wave);
    auto zero_rate = good;
    zero_rate[28] = zero_rate[29] = zero_rate[30] = zero_rate[31] = 0;  // byte rate 0
    bad.push_back(zero_rate);
    auto huge_chunk = Header(22050, 2, 100, true);
    huge_chunk[40] = 0xFF, huge_chunk[41] = 0xFF, huge_chunk[42] = 0xFF, huge_chunk[43] = 0xFF;
    bad.push_back(huge_chunk);  // LIST size past the buffer
    for (size_t i = 0; i < bad.size(); ++i) {
        WavInfo info;
        EXPECT_FALSE(DecodeWavHeader(bad[i], info)) << "case " << i;
    }
}

TEST(WavInfoTest, TruncatedFilePlaysWhatItHolds) {
    auto h = Header(8000, 1, 16000, false);  // declares one second
    h.resize(h.size() + 1600);               // holds a tenth of it
    support::TempFolder folder;
    const std::string path = folder / "short.wav";
    support::SaveBytes(path, h);
    WavInfo info;
    ASSERT_TRUE(ReadWavInfo(path, info));
    EXPECT_EQ(info.DurationMs(), 100);
    EXPECT_FALSE(ReadWavInfo(path + ".missing", info));
}

}  // namespace
}  // namespace windows
