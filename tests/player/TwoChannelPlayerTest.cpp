#include <gtest/gtest.h>

#include <algorithm>

#include "player/CNullDraw.h"
#include "player/SyncPlayer.h"
#include "support/RecordingMsgTarget.h"
#include "support/TempDir.h"
#include "support/TestSource.h"

namespace kx {
namespace {

using namespace std::chrono_literals;

// Notes which test picture each draw showed.
class PictureLog : public CNullDraw {
  public:
    bool Draw(const Picture* picture, int flip, bool repaint) override {
        CNullDraw::Draw(picture, flip, repaint);
        std::lock_guard lock(mutex_);
        if (picture && !repaint) shown_.push_back(test::PictureOfLevel(LastMeanLevel()));
        return true;
    }
    std::vector<int> shown() const {
        std::lock_guard lock(mutex_);
        return shown_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<int> shown_;
};

std::vector<int> Count(int from, int to) {
    std::vector<int> pictures;
    for (int picture = from; picture <= to; ++picture) pictures.push_back(picture);
    return pictures;
}

class TwoChannelPlayerTest : public testing::Test {
  protected:
    void SetUp() override {
        front_ = test::WriteTestVideo(dir_ / "front.h264", 60, 30, 64, 48, 30);
        rear_ = test::WriteTestVideo(dir_ / "rear.h264", 30, 15, 32, 24, 15);
        PlayerEnvironment environment;
        environment.owner = &messages_;
        environment.wave = &wave_;
        environment.createPresenter = [this](VideoChannel& channel) {
            auto log = std::make_unique<PictureLog>();
            (&channel == &frontChannel_ ? frontLog_ : rearLog_) = log.get();
            return channel.CreatePresenter(std::move(log));
        };
        environment.showWait = [this](bool on) { (on ? waitShown_ : waitHidden_)++; };
        player_ = std::make_unique<SyncPlayer>(frontChannel_, rearChannel_, audioIndex_,
                                               std::move(environment));
    }
    void TearDown() override { player_->StopPlay(); }

    test::TempDir dir_;
    test::TestVideo front_, rear_;
    SampleIndex frontIndex_, rearIndex_, audioIndex_;
    VideoChannel frontChannel_{0, frontIndex_}, rearChannel_{1, rearIndex_};
    SilentWaveOut wave_;
    test::RecordingMsgTarget messages_;
    std::atomic<int> waitShown_{0}, waitHidden_{0};
    PictureLog* frontLog_ = nullptr;
    PictureLog* rearLog_ = nullptr;
    std::mutex gate_;  // outlives the player's threads
    std::unique_ptr<SyncPlayer> player_;
};

TEST_F(TwoChannelPlayerTest, FrontAndRearPlayTogetherOnOneClock) {
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(player_->StartPlay(
        std::make_unique<test::TestSource>(dir_ / "front.h264", front_, dir_ / "rear.h264", rear_),
        0));
    ASSERT_TRUE(messages_.WaitFor(PlayCode::EndedOrRearFailed, 0, 10s));
    auto wall = std::chrono::steady_clock::now() - start;
    EXPECT_GT(wall, 1700ms);
    EXPECT_LT(wall, 3000ms);
    EXPECT_TRUE(player_->rearPresent());
    EXPECT_GE(player_->framesShown(0), 55);
    EXPECT_GE(player_->framesShown(1), 25);
    EXPECT_LE(player_->framesShown(1), 32);
    EXPECT_TRUE(player_->paused());
    // One position message per key frame of the front (0 s and 1 s).
    EXPECT_EQ(messages_.Values(PlayCode::Position), (std::vector<std::intptr_t>{0, 1000}));
    // Pictures decoded ahead are shown in their order, each once (the last ones stay in the
    // decoder's delay).
    std::vector<int> front = frontLog_->shown();
    ASSERT_GE(front.size(), 55u);
    EXPECT_EQ(front, Count(0, static_cast<int>(front.size()) - 1));
    std::vector<int> rear = rearLog_->shown();
    ASSERT_GE(rear.size(), 25u);
    EXPECT_EQ(rear, Count(0, static_cast<int>(rear.size()) - 1));
}

TEST_F(TwoChannelPlayerTest, ASeekWhilePlayingGoesOnFromTheKeyFrame) {
    ASSERT_TRUE(player_->StartPlay(
        std::make_unique<test::TestSource>(dir_ / "front.h264", front_, dir_ / "rear.h264", rear_),
        0));
    ASSERT_TRUE(messages_.WaitFor(PlayCode::Position, 0, 5s));
    auto seekTime = std::chrono::steady_clock::now();
    player_->Seek(1500);  // the front's key frames are at 0 and 1000 ms
    ASSERT_TRUE(messages_.WaitFor(PlayCode::EndedOrRearFailed, 0, 10s));
    auto wall = std::chrono::steady_clock::now() - seekTime;
    EXPECT_GT(wall, 800ms);
    EXPECT_LT(wall, 1700ms) << "one second was left to play";
    EXPECT_EQ(messages_.Values(PlayCode::Position).back(), 1000);
    // Before the jump a few pictures from the start; after it the second half, in order.
    std::vector<int> front = frontLog_->shown();
    auto jump = std::find(front.begin(), front.end(), 30);
    ASSERT_NE(jump, front.end());
    EXPECT_LT(jump - front.begin(), 10);
    EXPECT_EQ(std::vector<int>(front.begin(), jump),
              Count(0, static_cast<int>(jump - front.begin()) - 1));
    std::vector<int> after(jump, front.end());
    ASSERT_GE(after.size(), 25u);
    EXPECT_EQ(after, Count(30, 30 + static_cast<int>(after.size()) - 1));
    std::vector<int> rear = rearLog_->shown();
    ASSERT_FALSE(rear.empty());
    EXPECT_GE(rear.back(), 25) << "the rear jumped too";
}

TEST_F(TwoChannelPlayerTest, AMissingRearFileLeavesTheFrontPlaying) {
    ASSERT_TRUE(player_->StartPlay(std::make_unique<test::TestSource>(dir_ / "front.h264", front_,
                                                                      dir_ / "missing.h264", rear_),
                                   0));
    EXPECT_TRUE(messages_.WaitFor(PlayCode::EndedOrRearFailed, 1, 1s));
    ASSERT_TRUE(messages_.WaitFor(PlayCode::EndedOrRearFailed, 0, 10s));
    EXPECT_FALSE(player_->rearPresent());
    EXPECT_GE(player_->framesShown(0), 55);
    EXPECT_EQ(player_->framesShown(1), 0);
}

TEST_F(TwoChannelPlayerTest, PausingWhileWaitingForTheReaderRemovesTheOverlay) {
    auto source = std::make_unique<test::TestSource>(dir_ / "front.h264", front_);
    std::unique_lock held(gate_);  // the reader stops after the first group until released
    source->beforeEntry = [this](std::size_t entry) {
        if (entry == 31) std::lock_guard wait(gate_);
    };
    ASSERT_TRUE(player_->StartPlay(std::move(source), 0));
    for (int i = 0; i < 300 && !player_->waiting(); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(player_->waiting()) << "the play thread caught up with the reader";
    EXPECT_EQ(waitShown_, 1);
    player_->Pause(true);
    EXPECT_FALSE(player_->waiting());
    EXPECT_GE(waitHidden_, 1);
    held.unlock();
}

TEST_F(TwoChannelPlayerTest, StepsMoveBothChannelsTheSlowerOneRepeating) {
    ASSERT_TRUE(player_->StartPlay(
        std::make_unique<test::TestSource>(dir_ / "front.h264", front_, dir_ / "rear.h264", rear_),
        0));
    ASSERT_TRUE(messages_.WaitFor(PlayCode::EndedOrRearFailed, 0, 10s));
    player_->Seek(0);
    auto& rearDraw = static_cast<CNullDraw&>(*rearChannel_.display().draw);
    std::vector<int> rearPictures;
    for (int i = 0; i < 4; ++i) {
        player_->Step(false);
        rearPictures.push_back(test::PictureOfLevel(rearDraw.LastMeanLevel()));
    }
    EXPECT_EQ(rearPictures, (std::vector<int>{1, 1, 2, 2}));
}

}  // namespace
}  // namespace kx
