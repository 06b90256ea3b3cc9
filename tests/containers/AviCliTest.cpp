#include <gtest/gtest.h>

#include <algorithm>

#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace kx {
namespace {

TEST(KxcardAvi, DemoInfoSamplesAndExport) {
    test::TempDir dir;
    auto demo = test::RunProcess(kx::test::KxcardPath(),
                                 {"avi-demo", dir.path().string(), "--seconds", "2"});
    ASSERT_EQ(demo.exitCode, 0) << demo.err;
    const std::string both = (dir / "rec1_0001_20190412_090000_F_N.avi").string();
    const std::string rearOnly = (dir / "rec0_0003_20190412_091000_R_N.avi").string();
    const std::string cut = (dir / "rec1_0004_20190412_091500_F_N.avi").string();
    for (const auto& f : {both, rearOnly, cut}) EXPECT_NE(demo.out.find(f), std::string::npos);

    auto info = test::RunProcess(kx::test::KxcardPath(), {"info", both});
    ASSERT_EQ(info.exitCode, 0);
    EXPECT_EQ(info.out,
              "{\"playable\":true,\"repaired\":false,\"frames\":60,\"usPerFrame\":33333,"
              "\"streams\":[{\"type\":\"vids\",\"handler\":\"H264\",\"rate\":30,\"scale\":1,"
              "\"length\":60},{\"type\":\"vids\",\"handler\":\"H264\",\"rate\":30,\"scale\":1,"
              "\"length\":60},{\"type\":\"auds\",\"handler\":\"????\",\"rate\":32000,\"scale\":2,"
              "\"length\":32000},{\"type\":\"txts\",\"handler\":\"GPSR\",\"rate\":1,\"scale\":1,"
              "\"length\":2},{\"type\":\"txts\",\"handler\":\"SENS\",\"rate\":60,\"scale\":1,"
              "\"length\":120}],\"videoStreams\":2,\"indexCount\":302}\n");
    auto samples = test::RunProcess(kx::test::KxcardPath(), {"samples", both});
    ASSERT_EQ(samples.exitCode, 0);
    const auto lines = test::OutputLines(samples.out);
    ASSERT_EQ(lines.size(), 302u);
    EXPECT_EQ(lines[0].rfind("{\"id\":\"03tx\",\"flags\":0,\"offset\":4,\"size\":", 0), 0u);
    EXPECT_EQ(lines[1].rfind("{\"id\":\"00dc\",\"flags\":16,", 0), 0u);

    auto repaired = test::RunProcess(kx::test::KxcardPath(), {"info", cut});
    EXPECT_NE(repaired.out.find("\"playable\":true,\"repaired\":true"), std::string::npos);
    auto again = test::RunProcess(kx::test::KxcardPath(), {"info", cut});
    EXPECT_NE(again.out.find("\"playable\":true,\"repaired\":false"), std::string::npos);

    // Front and rear into two files: the rear name has R for the camera letter.
    const std::string out = (dir / "rec0_0001_20190412_090001_F_N.avi").string();
    auto exported =
        test::RunProcess(kx::test::KxcardPath(), {"export", both, out, "--from", "1", "--to", "2"});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    const std::string rearOut = (dir / "rec0_0001_20190412_090001_R_N.avi").string();
    EXPECT_EQ(exported.out, "{\"ok\":true,\"method\":\"avi\",\"outputs\":[\"" + out + "\",\"" +
                                rearOut + "\"]}\n");
    EXPECT_TRUE(std::filesystem::exists(rearOut));

    // A one-camera file exports the camera its name gives, into OUT itself.
    const std::string single = (dir / "single_R_N.avi").string();
    auto one = test::RunProcess(kx::test::KxcardPath(), {"export", rearOnly, single, "--no-sound"});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(one.out, "{\"ok\":true,\"method\":\"avi\",\"outputs\":[\"" + single + "\"]}\n");
    auto oneInfo = test::RunProcess(kx::test::KxcardPath(), {"info", single});
    EXPECT_NE(oneInfo.out.find("\"frames\":60"), std::string::npos) << oneInfo.out;
    EXPECT_EQ(oneInfo.out.find("auds"), std::string::npos);
}

TEST(KxcardAvi, BadInputFailsWithAMessage) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "junk.avi", "RIFF....AVI LIST");
    const std::string junk = (dir / "junk.avi").string();
    auto demo = test::RunProcess(kx::test::KxcardPath(),
                                 {"avi-demo", dir.path().string(), "--seconds", "1"});
    ASSERT_EQ(demo.exitCode, 0);
    const std::string both = (dir / "rec1_0001_20190412_090000_F_N.avi").string();
    const std::string out = (dir / "x_20190412_090000_F_N.avi").string();
    for (auto words : std::vector<std::vector<std::string>>{
             {"info"},
             {"info", (dir / "missing.avi").string()},
             {"samples", junk},
             {"export", junk, out},
             {"export", both, out, "--from", "1", "--to", "1"},
             {"export", both, out, "--to", "2"},
             {"export", both, out, "--from", "x"},
             {"export", both, "x.avi", "--front", "--rear"},
             {"export", both, (dir / "y_R_N.avi").string()},
             {"avi-demo", dir.path().string(), "--seconds", "0"}}) {
        auto result = test::RunProcess(kx::test::KxcardPath(), words);
        EXPECT_NE(result.exitCode, 0) << words[0] << " " << (words.size() > 1 ? words[1] : "");
        EXPECT_FALSE(result.err.empty());
    }
    // A rear name that cannot be made leaves no front output behind either.
    EXPECT_FALSE(std::filesystem::exists("x.avi"));
    EXPECT_FALSE(std::filesystem::exists(dir / "y_R_N.avi"));
    auto info = test::RunProcess(kx::test::KxcardPath(), {"info", junk});
    EXPECT_EQ(info.exitCode, 0);
    EXPECT_EQ(info.out.rfind("{\"playable\":false,", 0), 0u);
}

}  // namespace
}  // namespace kx
