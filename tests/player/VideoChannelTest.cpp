#include "player/VideoChannel.h"

#include <gtest/gtest.h>

#include "app/Trace.h"
#include "player/CNullDraw.h"
#include "player/FrameRate.h"
#include "support/TempDir.h"
#include "support/TestVideo.h"

namespace kx {
namespace {

constexpr int kPictures = 90;
constexpr int kGop = 30;

class VideoChannelTest : public testing::Test {
  protected:
    void SetUp() override {
        video_ = test::WriteTestVideo(dir_ / "front.h264", kPictures, kGop);
        for (const SAMPLE_ENTRY& entry : video_.entries) index_.Append(entry);
        ASSERT_EQ(index_.size(), static_cast<std::size_t>(kPictures));
        ASSERT_TRUE(channel_.SetPlay(dir_ / "front.h264", true));
        ASSERT_TRUE(channel_.OpenVCodec(kCodecAvc1, video_.width, video_.height, nullptr, 0));
        auto presenter = std::make_unique<CNullDraw>();
        draw_ = presenter.get();
        ASSERT_TRUE(channel_.CreatePresenter(std::move(presenter)));
        channel_.SetFrameRate(video_.fps);
        channel_.ConfigureStepCache(0);
        stepFile_ = std::fopen((dir_ / "stepfile.dat").c_str(), "wb+");
        ASSERT_NE(stepFile_, nullptr);
    }
    void TearDown() override { std::fclose(stepFile_); }

    // The picture the channel would show now.
    int Shown() {
        channel_.DrawFrame(0, false);
        return test::PictureOfLevel(draw_->LastMeanLevel());
    }

    test::TempDir dir_;
    test::TestVideo video_;
    SampleIndex index_;
    VideoChannel channel_{0, index_};
    CNullDraw* draw_ = nullptr;
    std::FILE* stepFile_ = nullptr;
};

TEST_F(VideoChannelTest, SeeksToTheKeyFrameAndDecodesItsPicture) {
    channel_.SeekKey(1500, true);  // key frames at 0, 1000 and 2000 ms
    EXPECT_EQ(channel_.nextSample(), 30u);
    ASSERT_TRUE(channel_.DecodeToFrame());
    EXPECT_EQ(Shown(), 30);
}

TEST_F(VideoChannelTest, StepsForwardThenBackFromTheCacheWithoutDecoding) {
    channel_.SeekKey(0, true);
    ASSERT_TRUE(channel_.DecodeToFrame());
    EXPECT_EQ(Shown(), 0);
    for (int step = 1; step <= 5; ++step) {
        ASSERT_GE(channel_.StepNext(stepFile_), 0);
        EXPECT_EQ(Shown(), step);
    }
    int decoded = channel_.decodedPictures();
    EXPECT_EQ(channel_.StepPrev(stepFile_), 3);
    EXPECT_EQ(Shown(), 4);
    EXPECT_EQ(channel_.decodedPictures(), decoded) << "a cached picture needs no decoding";
    // Forward again over cached pictures: also no decoding.
    EXPECT_GE(channel_.StepNext(stepFile_), 0);
    EXPECT_EQ(Shown(), 5);
    EXPECT_EQ(channel_.decodedPictures(), decoded);
}

TEST_F(VideoChannelTest, SteppingBackOverTheCacheRebuildsThePreviousGroupOnce) {
    channel_.SeekKey(1000, true);
    ASSERT_TRUE(channel_.DecodeToFrame());
    ASSERT_EQ(Shown(), 30);

    int before = channel_.decodedPictures();
    ASSERT_GE(channel_.StepPrev(stepFile_), 0);
    EXPECT_EQ(Shown(), 29);
    int rebuilt = channel_.decodedPictures() - before;
    EXPECT_GE(rebuilt, 30);
    EXPECT_LE(rebuilt, 30 + channel_.decoderDelay());

    for (int expected = 28; expected >= 20; --expected) {
        ASSERT_GE(channel_.StepPrev(stepFile_), 0);
        EXPECT_EQ(Shown(), expected);
    }
    EXPECT_EQ(channel_.decodedPictures() - before, rebuilt) << "later steps come from the cache";

    // And forward again from the middle of the rebuilt group.
    ASSERT_GE(channel_.StepNext(stepFile_), 0);
    EXPECT_EQ(Shown(), 21);
}

TEST_F(VideoChannelTest, StepsBackToTheVeryFirstPicture) {
    channel_.SeekKey(0, true);
    ASSERT_TRUE(channel_.DecodeToFrame());
    ASSERT_GE(channel_.StepNext(stepFile_), 0);
    ASSERT_EQ(Shown(), 1);
    channel_.ResetStep(false);  // as after playing: nothing cached
    ASSERT_GE(channel_.StepPrev(stepFile_), 0);
    EXPECT_EQ(Shown(), 0);
}

TEST_F(VideoChannelTest, SteppingPastTheLastEntryLeavesThePicture) {
    channel_.SeekKey(2000, true);
    ASSERT_TRUE(channel_.DecodeToFrame());
    while (channel_.StepNext(stepFile_) >= 0) {
    }
    int last = Shown();
    EXPECT_GE(last, kPictures - 1 - channel_.decoderDelay());
    EXPECT_EQ(channel_.StepNext(stepFile_), -1);
    EXPECT_EQ(Shown(), last);
}

TEST_F(VideoChannelTest, ASlowerChannelRepeatsEachPicture) {
    channel_.SetRepeatLength(RepeatLengthsFor(30, 15).rear);
    channel_.SeekKey(0, true);
    ASSERT_TRUE(channel_.DecodeToFrame());
    std::vector<int> shown;
    for (int step = 0; step < 6; ++step) {
        ASSERT_GE(channel_.StepNext(stepFile_), 0);
        shown.push_back(Shown());
    }
    EXPECT_EQ(shown, (std::vector<int>{1, 1, 2, 2, 3, 3}));
}

TEST_F(VideoChannelTest, WithoutAStepFileABackStepGoesToTheKeyFrame) {
    channel_.SeekKey(1000, true);
    ASSERT_TRUE(channel_.DecodeToFrame());
    for (int step = 0; step < 4; ++step) channel_.StepNext(nullptr);
    ASSERT_EQ(Shown(), 34);
    EXPECT_EQ(channel_.StepPrev(nullptr), 0);
    EXPECT_EQ(Shown(), 30);
}

TEST_F(VideoChannelTest, PicturesDecodedAheadComeOutInOrderWithoutDecodingAgain) {
    channel_.SeekKey(0, true);
    ASSERT_TRUE(channel_.DecodeToFrame());
    ASSERT_EQ(Shown(), 0);
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(channel_.DecodeAhead());
    EXPECT_EQ(channel_.aheadCount(), 10u);
    EXPECT_EQ(Shown(), 0) << "decoding ahead leaves the shown picture alone";
    int decoded = channel_.decodedPictures();
    for (int picture = 1; picture <= 10; ++picture) {
        std::size_t entry = channel_.nextSample();
        channel_.SetNextSample(entry + 1);
        ASSERT_TRUE(channel_.DecodeEntry(entry));
        EXPECT_EQ(Shown(), picture);
    }
    EXPECT_EQ(channel_.decodedPictures(), decoded);
    EXPECT_EQ(channel_.aheadCount(), 0u);
}

TEST_F(VideoChannelTest, AJumpAwayFromPicturesDecodedAheadPositionsTheDecoderAgain) {
    channel_.SeekKey(0, true);
    ASSERT_TRUE(channel_.DecodeToFrame());
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(channel_.DecodeAhead());
    // To a picture between key frames (45) and to a key frame (60): each time the decoder
    // must give that picture after its delay, not one of the queue or of the old position.
    for (std::size_t target : {45u, 60u}) {
        std::size_t entry = target;
        ASSERT_TRUE(channel_.DecodeAhead());
        for (int i = 0; i <= channel_.decoderDelay(); ++i) channel_.DecodeEntry(entry++);
        EXPECT_EQ(Shown(), static_cast<int>(target));
        EXPECT_EQ(channel_.aheadCount(), 0u);
    }
    // A flush forgets the queue; nothing is decoded ahead before the next sample is sent.
    ASSERT_TRUE(channel_.DecodeAhead());
    channel_.SeekKey(0, true);
    EXPECT_EQ(channel_.aheadCount(), 0u);
    EXPECT_FALSE(channel_.DecodeAhead());
}

TEST_F(VideoChannelTest, DecodingAheadStopsAtTheEndOfTheIndex) {
    channel_.SeekKey(2000, true);
    ASSERT_TRUE(channel_.DecodeToFrame());
    int ahead = 0;
    while (channel_.DecodeAhead()) ++ahead;
    EXPECT_EQ(static_cast<std::size_t>(ahead), kPictures - channel_.nextSample());
}

TEST_F(VideoChannelTest, GetImageGivesTopDownBgrRowsOfTheCurrentPicture) {
    channel_.SeekKey(1000, true);
    ASSERT_TRUE(channel_.DecodeToFrame());
    auto image = channel_.GetImage();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, video_.width);
    EXPECT_EQ(image->height, video_.height);
    // A flat grey of luma L (limited range) is RGB 1.164 (L - 16) in every channel.
    int expected = static_cast<int>(1.164 * (test::TestVideoLevel(30) - 16) + 0.5);
    for (int y : {0, video_.height - 1})
        for (int x : {0, video_.width - 1})
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(image->data[(y * video_.width + x) * 3 + c], expected, 3);
}

TEST_F(VideoChannelTest, StopPlayBlanksThePictureAndForgetsTheIndex) {
    channel_.SeekKey(0, true);
    ASSERT_TRUE(channel_.DecodeToFrame());
    channel_.DrawFrame(0, false);
    channel_.StopPlay(true);
    EXPECT_EQ(index_.size(), 0u);
    EXPECT_EQ(channel_.nextSample(), 0u);
    EXPECT_EQ(draw_->LastMeanLevel(), 0);
    EXPECT_FALSE(channel_.Decode(100, 0)) << "no decoder and no file after a stop";
}

TEST(VideoChannel, FailuresAreTracedAndReported) {
    test::TempDir dir;
    TraceStart(dir / "trace_sd.txt", "1.05");
    SampleIndex index;
    VideoChannel channel(0, index);
    EXPECT_FALSE(channel.SetPlay("", true));
    EXPECT_FALSE(channel.SetPlay(dir / "missing.mp4", true));
    // An HEVC configuration record that is cut short: the decoder refuses to open.
    std::uint8_t brokenConfig[30] = {1, 1, 0x60};
    brokenConfig[22] = 1;  // one parameter-set array
    brokenConfig[25] = 1;  // of one unit
    brokenConfig[26] = 1;  // of 256 bytes, where only 3 remain
    EXPECT_FALSE(channel.OpenVCodec(kCodecHvc1, 1920, 1080, brokenConfig, sizeof brokenConfig));
    std::string trace = test::ReadFileBytes(dir / "trace_sd.txt");
    EXPECT_NE(trace.find("missing.mp4 file open failed\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("[CDrawWnd::OpenVCodec("), std::string::npos) << trace;
    EXPECT_NE(trace.find(")] video codec open failed\n"), std::string::npos) << trace;
    TraceStart({}, "1.05");
}

TEST(VideoChannel, ADamagedIndexEntryIsRefusedBeforeAnyAllocation) {
    test::TempDir dir;
    TraceStart(dir / "trace_sd.txt", "1.05");
    test::WriteFileBytes(dir / "x.h264", std::string(100, '\0'));
    SampleIndex index;
    VideoChannel channel(0, index);
    ASSERT_TRUE(channel.SetPlay(dir / "x.h264", true));
    EXPECT_FALSE(channel.ReadData(0x7fffffff, 0));
    EXPECT_FALSE(channel.ReadData(50, 80)) << "reads past the end of the file fail";
    EXPECT_NE(test::ReadFileBytes(dir / "trace_sd.txt")
                  .find("Video Data malloc Failed. Size(2147483647)"),
              std::string::npos);
    TraceStart({}, "1.05");
}

}  // namespace
}  // namespace kx
