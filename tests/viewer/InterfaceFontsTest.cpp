#include "app/InterfaceFonts.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace kx {
namespace {

TEST(InterfaceFonts, HeightsAndWeightsFollowLanguageAndScale) {
    InterfaceFonts fonts;
    fonts.Select("japan", 1);
    EXPECT_EQ(fonts.Font(FontRole::Bold).pixelSize(), 13);
    EXPECT_EQ(fonts.Font(FontRole::Bold).weight(), QFont::Bold);
    EXPECT_EQ(fonts.Font(FontRole::Normal).weight(), QFont::Normal);
    EXPECT_TRUE(fonts.Font(FontRole::Normal).families().contains("Noto Sans CJK JP"));

    fonts.Select("korea", 2);
    EXPECT_EQ(fonts.Font(FontRole::Normal2).pixelSize(), 23);
    EXPECT_EQ(fonts.Font(FontRole::Normal).families().first(), "Noto Sans CJK KR");

    fonts.Select("english", 2);
    EXPECT_EQ(fonts.Font(FontRole::Normal).pixelSize(), 27);
    // The same kind of language again keeps the fonts as they are.
    fonts.Select("german", 1);
    EXPECT_EQ(fonts.Font(FontRole::Normal).pixelSize(), 27);
}

}  // namespace
}  // namespace kx
