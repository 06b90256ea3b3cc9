#include "app/Version.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(Version, FirstAndThirdNumbersOfTheFileVersion) {
    struct Case {
        const char* fileVersion;
        const char* text;
    } cases[] = {{"1.0.5.0", "1.05"}, {"2.1.13.7", "2.13"}, {"2.1.7.3", "2.07"},
                 {"1.2.3", "1.00"},   {"", "1.00"},         {"garbage", "1.00"}};
    for (const Case& c : cases) EXPECT_EQ(VersionTextFromFileVersion(c.fileVersion), c.text);
}

TEST(Version, TheBuildVersionIsFourNumbers) {
    EXPECT_EQ(BuildVersionText(), "1.05");
}

}  // namespace
}  // namespace kx
