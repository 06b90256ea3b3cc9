#include "player/FrameRate.h"

#include <gtest/gtest.h>

#include "player/VideoChannel.h"

namespace kx {
namespace {

TEST(FrameRate, Mp4RatesRoundToTensAndAtLeastTen) {
    // 5394 samples in 179.96 s compute to 29.97 pictures per second.
    EXPECT_EQ(Mp4FrameRate(5394, 1000, 179'980), 30);
    EXPECT_EQ(Mp4FrameRate(70, 1000, 10'000), 10);    // 7 per second
    EXPECT_EQ(Mp4FrameRate(150, 1000, 10'000), 20);   // 15 rounds up to 20
    EXPECT_EQ(Mp4FrameRate(1440, 1000, 60'000), 20);  // 24 rounds down to 20
    EXPECT_EQ(Mp4FrameRate(100, 1000, 0), 10);
}

TEST(FrameRate, AviRatesAreCappedAtThirty) {
    EXPECT_EQ(AviFrameRate(30, 1), 30);
    EXPECT_EQ(AviFrameRate(60, 1), 30);
    EXPECT_EQ(AviFrameRate(15, 1), 15);
    EXPECT_EQ(AviFrameRate(0, 0), 10);
}

TEST(FrameRate, TheSlowerChannelRepeatsItsPictures) {
    EXPECT_EQ(RepeatLengthsFor(30, 15).rear, 1);
    EXPECT_EQ(RepeatLengthsFor(30, 15).front, 0);
    EXPECT_EQ(RepeatLengthsFor(10, 30).front, 2);
    EXPECT_EQ(RepeatLengthsFor(30, 30).rear, 0);
}

TEST(FrameRate, DecoderThreadsFollowTheCoreCount) {
    EXPECT_EQ(DecoderThreadCountText(0), "0");
    EXPECT_EQ(DecoderThreadCountText(2), "2");
    EXPECT_EQ(DecoderThreadCountText(3), "3");
    EXPECT_EQ(DecoderThreadCountText(16), "4");
}

}  // namespace
}  // namespace kx
