#include "player/SyncPlayer.h"

#include <gtest/gtest.h>

#include "app/Trace.h"
#include "player/CNullDraw.h"
#include "player/FfmpegSource.h"
#include "support/RecordingMsgTarget.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace kx {
namespace {

using namespace std::chrono_literals;

// A later-layout MP4 (what FFmpeg writes): 3 s of 320x240 at 30 pictures per second, a key
// frame every second, AAC sound.
std::filesystem::path MakeRecording(const test::TempDir& dir, int seconds = 3) {
    auto path = dir / "later.mp4";
    auto result = test::RunProcess("/usr/bin/ffmpeg", {"-loglevel",
                                                       "error",
                                                       "-y",
                                                       "-f",
                                                       "lavfi",
                                                       "-i",
                                                       "testsrc=size=320x240:rate=30",
                                                       "-f",
                                                       "lavfi",
                                                       "-i",
                                                       "sine=frequency=440:sample_rate=48000",
                                                       "-t",
                                                       std::to_string(seconds),
                                                       "-c:v",
                                                       "libx264",
                                                       "-preset",
                                                       "ultrafast",
                                                       "-g",
                                                       "30",
                                                       "-bf",
                                                       "0",
                                                       "-pix_fmt",
                                                       "yuv420p",
                                                       "-c:a",
                                                       "aac",
                                                       "-b:a",
                                                       "64k",
                                                       path.string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return path;
}

class SyncPlayerTest : public testing::Test {
  protected:
    SyncPlayer& Player(bool fastClock = false) {
        PlayerEnvironment environment;
        environment.owner = &messages_;
        environment.wave = &wave_;
        environment.stepFile = [this](std::uint64_t) -> std::FILE* {
            stepFile_ = OpenFile(dir_ / "stepfile.dat", "wb+");
            return stepFile_.get();
        };
        environment.openPacketFile = [this] { return OpenFile(dir_ / "playfile.dat", "wb+"); };
        environment.releasePacketFile = [this] { std::filesystem::remove(dir_ / "playfile.dat"); };
        environment.createPresenter = [](VideoChannel& channel) {
            return channel.CreatePresenter(std::make_unique<CNullDraw>());
        };
        environment.showWait = [this](bool on) { waitShown_ = on; };
        environment.fastClock = fastClock;
        player_ = std::make_unique<SyncPlayer>(front_, rear_, audioIndex_, environment);
        return *player_;
    }
    CNullDraw& FrontDraw() { return static_cast<CNullDraw&>(*front_.display().draw); }

    test::TempDir dir_;
    SampleIndex frontIndex_, rearIndex_, audioIndex_;
    VideoChannel front_{0, frontIndex_}, rear_{1, rearIndex_};
    SilentWaveOut wave_;
    test::RecordingMsgTarget messages_;
    UniqueFile stepFile_;
    std::atomic<bool> waitShown_{false};
    std::unique_ptr<SyncPlayer> player_;
};

TEST_F(SyncPlayerTest, PlaysALaterLayoutFileToItsEndInRealTime) {
    auto path = MakeRecording(dir_);
    SyncPlayer& player = Player();
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(player.StartPlay(std::make_unique<FfmpegSource>(path), 0));
    ASSERT_TRUE(messages_.WaitFor(PlayCode::EndedOrRearFailed, 0, 10s));
    auto wall = std::chrono::steady_clock::now() - start;
    EXPECT_GT(wall, 2600ms);
    EXPECT_LT(wall, 4500ms);
    EXPECT_TRUE(player.paused()) << "the player pauses itself at the end";
    EXPECT_GE(player.framesShown(0), 85);
    EXPECT_GT(player.audioBlocksQueued(), 100) << "about 47 AAC frames per second";

    // Started, prepared, and a position message per key frame, not per picture.
    EXPECT_TRUE(messages_.WaitFor(PlayCode::Started, 0, 0s));
    auto positions = messages_.Values(PlayCode::Position);
    EXPECT_GE(positions.size(), 3u);
    EXPECT_LE(positions.size(), 5u);
    auto all = messages_.messages();
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](const test::PostedMsg& m) {
        return m.msg == Msg::MenuCommand && m.lParam == kPlayerPrepared;
    }));
    player.StopPlay();
    EXPECT_FALSE(std::filesystem::exists(dir_ / "playfile.dat"));
}

TEST_F(SyncPlayerTest, FourTimesSpeedEndsInAQuarterOfTheTime) {
    auto path = MakeRecording(dir_, 4);
    SyncPlayer& player = Player();
    player.SetSpeed(3);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(player.StartPlay(std::make_unique<FfmpegSource>(path), 0));
    ASSERT_TRUE(messages_.WaitFor(PlayCode::EndedOrRearFailed, 0, 10s));
    auto wall = std::chrono::steady_clock::now() - start;
    EXPECT_LT(wall, 2000ms);
    EXPECT_GT(wall, 800ms);
    EXPECT_EQ(player.audioBlocksQueued(), 0) << "sound is only fed at 1x";
}

TEST_F(SyncPlayerTest, ASeekWhilePausedShowsTheKeyFrameAtOrBeforeTheTarget) {
    auto path = MakeRecording(dir_);
    SyncPlayer& player = Player();
    ASSERT_TRUE(player.StartPlay(std::make_unique<FfmpegSource>(path), 0));
    ASSERT_TRUE(messages_.WaitFor(PlayCode::Position, 0, 5s));
    player.Pause(true);
    messages_.Clear();
    int shownBefore = FrontDraw().draws();
    player.Seek(2500);
    auto positions = messages_.Values(PlayCode::Position);
    ASSERT_EQ(positions.size(), 1u);
    EXPECT_EQ(positions[0], 2000);
    EXPECT_GT(FrontDraw().draws(), shownBefore);
    player.StopPlay();
}

TEST_F(SyncPlayerTest, SoundStopsAboveNormalSpeedAndRestartsAtIt) {
    auto path = MakeRecording(dir_);
    SyncPlayer& player = Player();
    ASSERT_TRUE(player.StartPlay(std::make_unique<FfmpegSource>(path), 0));
    ASSERT_TRUE(messages_.WaitFor(PlayCode::Position, 0, 5s));
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(wave_.isOpen());
    player.SetSpeed(2);
    EXPECT_FALSE(wave_.isOpen()) << "1x -> 2x silences";
    int blocks = player.audioBlocksQueued();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(player.audioBlocksQueued(), blocks);
    player.SetSpeed(1);
    EXPECT_TRUE(wave_.isOpen()) << "2x -> 1x restarts the sound";
    std::this_thread::sleep_for(200ms);
    EXPECT_GT(player.audioBlocksQueued(), blocks);
    player.StopPlay();
}

TEST_F(SyncPlayerTest, StepsWhilePausedPostTheShownTime) {
    auto path = MakeRecording(dir_);
    SyncPlayer& player = Player();
    ASSERT_TRUE(player.StartPlay(std::make_unique<FfmpegSource>(path), 0));
    ASSERT_TRUE(messages_.WaitFor(PlayCode::EndedOrRearFailed, 0, 10s));
    player.Seek(1000);
    messages_.Clear();
    player.Step(false);
    player.Step(false);
    player.Step(true);
    auto positions = messages_.Values(PlayCode::Position);
    ASSERT_EQ(positions.size(), 3u);
    EXPECT_NEAR(positions[0], 1033, 1);
    EXPECT_NEAR(positions[1], 1067, 1);
    EXPECT_NEAR(positions[2], 1033, 1);
    player.StopPlay();
}

TEST(SyncPlayerWithoutSound, PlaysSilentlyAndTracesTheDevice) {
    test::TempDir dir;
    auto path = MakeRecording(dir, 1);
    TraceStart(dir / "trace_sd.txt", "1.05");
    SampleIndex frontIndex, rearIndex, audioIndex;
    VideoChannel front(0, frontIndex), rear(1, rearIndex);
    SilentWaveOut noDevice(false, /*failOpen=*/true);
    test::RecordingMsgTarget messages;
    PlayerEnvironment environment;
    environment.owner = &messages;
    environment.wave = &noDevice;
    environment.openPacketFile = [&] { return OpenFile(dir / "playfile.dat", "wb+"); };
    environment.createPresenter = [](VideoChannel& channel) {
        return channel.CreatePresenter(std::make_unique<CNullDraw>());
    };
    SyncPlayer player(front, rear, audioIndex, environment);
    ASSERT_TRUE(player.StartPlay(std::make_unique<FfmpegSource>(path), 0));
    EXPECT_TRUE(messages.WaitFor(PlayCode::EndedOrRearFailed, 0, 10s));
    EXPECT_GE(player.framesShown(0), 25);
    EXPECT_EQ(player.audioBlocksQueued(), 0);
    player.StopPlay();
    EXPECT_NE(test::ReadFileBytes(dir / "trace_sd.txt").find(")] winmm audio open failed.\n"),
              std::string::npos);
    TraceStart({}, "1.05");
}

TEST_F(SyncPlayerTest, AFileThatIsNoRecordingCannotBePlayed) {
    test::WriteFileBytes(dir_ / "broken.mp4", std::string(4096, 'x'));
    SyncPlayer& player = Player();
    ASSERT_TRUE(player.StartPlay(std::make_unique<FfmpegSource>(dir_ / "broken.mp4"), 0));
    EXPECT_TRUE(messages_.WaitFor(PlayCode::CannotPlay, 0, 5s));
    player.StopPlay();
}

}  // namespace
}  // namespace kx
