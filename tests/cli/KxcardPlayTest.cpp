#include <gtest/gtest.h>

#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace kx {
namespace {

TEST(KxcardPlay, PrintsThePlayMessagesAndASummary) {
    test::TempDir dir;
    auto file = dir / "clip.mp4";
    ASSERT_EQ(test::RunProcess("/usr/bin/ffmpeg",
                               {"-loglevel", "error", "-f", "lavfi", "-i",
                                "testsrc=size=160x120:rate=30", "-t", "3", "-c:v", "libx264", "-g",
                                "30", "-bf", "0", "-pix_fmt", "yuv420p", file.string()})
                  .exitCode,
              0);
    auto result = test::RunProcess(
        kx::test::KxcardPath(),
        {"play", file.string(), "--fast", "--script", "0:pause;50:seek=2000;60:resume"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("\"code\":1,\"value\":0}"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("\"code\":2,\"value\":2000}"), std::string::npos) << result.out;
    std::string last = result.out.substr(result.out.rfind('{', result.out.rfind("\"frames\"")));
    EXPECT_EQ(last.rfind("{\"frames\":{\"front\":", 0), 0u) << last;
    EXPECT_NE(last.find("\"rear\":0},\"audioBlocks\":0,\"wall\":"), std::string::npos) << last;
}

TEST(KxcardPlay, RefusesBadArguments) {
    for (auto words :
         std::vector<std::vector<std::string>>{{"play"},
                                               {"play", "/nonexistent.mp4"},
                                               {"play", "/etc/hostname", "--speed", "7"},
                                               {"play", "/etc/hostname", "--script", "x:pause"}}) {
        auto result = test::RunProcess(kx::test::KxcardPath(), words);
        EXPECT_NE(result.exitCode, 0);
        EXPECT_FALSE(result.err.empty());
    }
}

}  // namespace
}  // namespace kx
