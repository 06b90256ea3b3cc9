#include <gtest/gtest.h>

#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace kx {
namespace {

TEST(Kxcard, VersionPrintsOneJsonObject) {
    auto result = test::RunProcess(kx::test::KxcardPath(), {"version"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "{\"program\":\"KX-TMQ4_Viewer\",\"version\":\"1.05\"}\n");
}

TEST(Kxcard, TextPrintsTheLookupWithItsLineBreaks) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "lng");
    test::WriteFileBytes(dir / "lng" / "english.dat", "[message]\nmsg=one\\ntwo\n");
    auto result = test::RunProcess(
        kx::test::KxcardPath(),
        {"text", "msg", "1", "--program-dir", dir.path().string(), "--language", "english"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "one\r\ntwo\n");

    auto missing = test::RunProcess(
        kx::test::KxcardPath(),
        {"text", "msg", "2", "--program-dir", dir.path().string(), "--language", "english"});
    EXPECT_EQ(missing.out, "msg\n");
}

TEST(Kxcard, TextDefaultsToTheInstalledJapaneseFile) {
    auto result = test::RunProcess(kx::test::KxcardPath(), {"text", "map_not_connected", "2"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out, "map_not_connected\n");
}

TEST(Kxcard, BadArgumentsFailWithAMessage) {
    for (auto words : std::vector<std::vector<std::string>>{{"text", "key"},
                                                            {"text", "key", "3"},
                                                            {"text", "k", "0", "--bogus"},
                                                            {"nosuch"},
                                                            {}}) {
        auto result = test::RunProcess(kx::test::KxcardPath(), words);
        EXPECT_NE(result.exitCode, 0);
        EXPECT_FALSE(result.err.empty());
    }
}

}  // namespace
}  // namespace kx
