#include <gtest/gtest.h>

#include "containers/demo/DemoCard.h"
#include "player/CNullDraw.h"
#include "player/SourceChoice.h"
#include "player/SyncPlayer.h"
#include "support/RecordingMsgTarget.h"
#include "support/TempDir.h"

namespace kx {
namespace {

using namespace std::chrono_literals;

// One small demo card for every test of this file.
class Mp4PlayerTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        card_ = new test::TempDir;
        demo::CardOptions options;
        options.seconds = 2;
        options.frontWidth = 96;
        options.frontHeight = 64;
        options.rearWidth = 48;
        options.rearHeight = 32;
        demo::CardResult result = demo::MakeDemoCard(card_->path(), options);
        ASSERT_TRUE(result.ok) << result.error;
        for (const auto& file : result.files) files_.push_back(file);
    }
    static void TearDownTestSuite() {
        delete card_;
        files_.clear();
    }
    static std::filesystem::path File(const std::string& suffix, bool laterLayout) {
        for (const auto& file : files_) {
            std::string name = file.filename().string();
            if (name.ends_with(suffix) && (name.find("073400") != std::string::npos) == laterLayout)
                return file;
        }
        return {};
    }

    void SetUp() override {
        PlayerEnvironment environment;
        environment.owner = &messages_;
        environment.wave = &wave_;
        environment.openPacketFile = [this] { return OpenFile(scratch_ / "playfile.dat", "wb+"); };
        environment.createPresenter = [](VideoChannel& channel) {
            return channel.CreatePresenter(std::make_unique<CNullDraw>());
        };
        player_ = std::make_unique<SyncPlayer>(front_, rear_, audioIndex_, std::move(environment));
    }
    void TearDown() override { player_->StopPlay(); }

    static inline test::TempDir* card_ = nullptr;
    static inline std::vector<std::filesystem::path> files_;
    test::TempDir scratch_;
    SampleIndex frontIndex_, rearIndex_, audioIndex_;
    VideoChannel front_{0, frontIndex_}, rear_{1, rearIndex_};
    SilentWaveOut wave_;
    test::RecordingMsgTarget messages_;
    std::unique_ptr<SyncPlayer> player_;
};

TEST_F(Mp4PlayerTest, AnEarlierLayoutRecordingPlaysWithItsRearPartnerAndSound) {
    auto front = File("_NF.mp4", false), rear = File("_NR.mp4", false);
    ASSERT_FALSE(front.empty());
    auto source = MakeIndexSource(front, rear, true);
    ASSERT_NE(source, nullptr);
    ASSERT_TRUE(player_->StartPlay(std::move(source), 0));
    ASSERT_TRUE(messages_.WaitFor(PlayCode::EndedOrRearFailed, 0, 10s));
    EXPECT_TRUE(player_->rearPresent());
    EXPECT_GE(player_->framesShown(0), 55);
    EXPECT_GE(player_->framesShown(1), 55);
    EXPECT_GT(player_->audioBlocksQueued(), 10) << "AAC decoded and queued";
    EXPECT_EQ(front_.frameRate(), 30);
}

TEST_F(Mp4PlayerTest, AMissingRearPartnerLeavesTheFront) {
    auto front = File("_NF.mp4", false);
    ASSERT_TRUE(player_->StartPlay(MakeIndexSource(front, scratch_ / "gone_NR.mp4", true), 0));
    EXPECT_TRUE(messages_.WaitFor(PlayCode::EndedOrRearFailed, 1, 2s));
    ASSERT_TRUE(messages_.WaitFor(PlayCode::EndedOrRearFailed, 0, 10s));
    EXPECT_FALSE(player_->rearPresent());
    EXPECT_GE(player_->framesShown(0), 55);
}

TEST_F(Mp4PlayerTest, ALaterLayoutRecordingGoesThroughFfmpeg) {
    auto front = File("_NF.mp4", true);
    ASSERT_FALSE(front.empty());
    ASSERT_TRUE(player_->StartPlay(MakeIndexSource(front, {}, true), 0));
    ASSERT_TRUE(messages_.WaitFor(PlayCode::EndedOrRearFailed, 0, 10s));
    EXPECT_GE(player_->framesShown(0), 55);
}

TEST(SourceChoice, AFileThatIsNoRecordingGivesNoSource) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "x_NF.mp4", std::string(100, 'x'));
    EXPECT_EQ(MakeIndexSource(dir / "x_NF.mp4", {}, true), nullptr);
}

}  // namespace
}  // namespace kx
