#include <gtest/gtest.h>

#include "containers/demo/AviDemo.h"
#include "player/AviSource.h"
#include "player/CNullDraw.h"
#include "player/SyncPlayer.h"
#include "support/RecordingMsgTarget.h"
#include "support/TempDir.h"

namespace kx {
namespace {

using namespace std::chrono_literals;

class AviPlayerTest : public testing::Test {
  protected:
    void SetUp() override {
        PlayerEnvironment environment;
        environment.owner = &messages_;
        environment.wave = &wave_;
        environment.createPresenter = [](VideoChannel& channel) {
            return channel.CreatePresenter(std::make_unique<CNullDraw>());
        };
        player_ = std::make_unique<SyncPlayer>(front_, rear_, audioIndex_, std::move(environment));
    }
    void TearDown() override { player_->StopPlay(); }

    test::TempDir dir_;
    SampleIndex frontIndex_, rearIndex_, audioIndex_;
    VideoChannel front_{0, frontIndex_}, rear_{1, rearIndex_};
    SilentWaveOut wave_;
    test::RecordingMsgTarget messages_;
    std::unique_ptr<SyncPlayer> player_;
};

TEST_F(AviPlayerTest, BothVideoStreamsPlayAfterTheIndexWalk) {
    AviDemoOptions options;
    options.seconds = 2;
    auto path = dir_ / "rec1_0001_20190412_120000_F_N.avi";
    std::string error;
    ASSERT_TRUE(WriteAviDemoRecording(path, options, error)) << error;

    auto source = std::make_unique<AviSource>(path, true);
    int gpsChunks = 0;
    std::size_t sensorBytes = 0;
    source->onGpsChunk = [&](const std::uint8_t*, std::size_t) { ++gpsChunks; };
    source->onSensorChunk = [&](const std::uint8_t*, std::size_t size) {
        return sensorBytes += size;
    };
    ASSERT_TRUE(player_->StartPlay(std::move(source), 0));
    EXPECT_TRUE(player_->paused()) << "an AVI starts paused until its index is walked";
    ASSERT_TRUE(messages_.WaitFor(PlayCode::Started, 0, 5s, true));
    EXPECT_EQ(messages_.Values(PlayCode::Started).back(), static_cast<std::intptr_t>(sensorBytes));
    EXPECT_EQ(gpsChunks, 2);
    EXPECT_GT(sensorBytes, 0u);
    EXPECT_TRUE(player_->rearPresent());
    EXPECT_EQ(messages_.Values(PlayCode::DurationKnown).back(), 1000 + 29 * 33)
        << "last front time";

    player_->Pause(false);
    ASSERT_TRUE(messages_.WaitFor(PlayCode::EndedOrRearFailed, 0, 10s));
    EXPECT_GE(player_->framesShown(0), 55);
    EXPECT_GE(player_->framesShown(1), 55);
    EXPECT_GT(player_->audioBlocksQueued(), 0) << "PCM sound is queued unchanged";
}

TEST_F(AviPlayerTest, TheRearStaysHiddenWhenNotWanted) {
    AviDemoOptions options;
    options.seconds = 1;
    auto path = dir_ / "rec1_0001_20190412_120000_F_N.avi";
    std::string error;
    ASSERT_TRUE(WriteAviDemoRecording(path, options, error)) << error;
    ASSERT_TRUE(player_->StartPlay(std::make_unique<AviSource>(path, false), 0));
    ASSERT_TRUE(messages_.WaitFor(PlayCode::Started, 0, 5s, true));
    EXPECT_FALSE(player_->rearPresent());
}

TEST_F(AviPlayerTest, AFileThatIsNoAviIsRefused) {
    test::WriteFileBytes(dir_ / "x.avi", "RIFF....AVI nothing");
    EXPECT_FALSE(player_->StartPlay(std::make_unique<AviSource>(dir_ / "x.avi", true), 0));
}

}  // namespace
}  // namespace kx
