#include <gtest/gtest.h>

#include "camera/FixedText.h"
#include "camera/Utf8Text.h"

namespace kx {
namespace {

TEST(Utf8Text, CutNeverEndsInsideACharacter) {
    struct Case {
        std::string_view text;
        std::size_t limit;
        std::string_view kept;
    };
    const Case cases[] = {
        {"abcdef", 4, "abcd"},
        {"abc", 4, "abc"},
        {"ab\xC3\xA9", 3, "ab"},          // two-byte é cut after its lead byte
        {"ab\xC3\xA9", 4, "ab\xC3\xA9"},  // fits exactly
        {"a\xE6\x97\xA5x", 2, "a"},       // three-byte 日 cut after one byte
        {"a\xE6\x97\xA5x", 3, "a"},       // ... after two bytes
        {"a\xE6\x97\xA5x", 4, "a\xE6\x97\xA5"},
        {"\xF0\x9F\x98\x80!", 3, ""},                   // four-byte emoji
        {"a\x80\x80\x80\x80\x80", 4, "a\x80\x80\x80"},  // not UTF-8: cut at the limit
        {"", 0, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(CutUtf8(c.text, c.limit), c.kept) << c.text;
}

TEST(Utf8Text, CharactersCountLeadBytes) {
    EXPECT_EQ(CharacterCount("a\xC3\xA9\xE6\x97\xA5"), 3u);
    EXPECT_EQ(FirstCharacters("a\xC3\xA9\xE6\x97\xA5z", 3), "a\xC3\xA9\xE6\x97\xA5");
    EXPECT_EQ(CharacterRange("a\xC3\xA9\xE6\x97\xA5z", 1, 2), "\xC3\xA9\xE6\x97\xA5");
    EXPECT_EQ(CharacterRange("abc", 2, 5), "c");
    EXPECT_EQ(Latin1ToUtf8("Q\xE9"), "Q\xC3\xA9");
}

TEST(FixedText, AssignCutsOnACharacterBoundaryAndZeroFills) {
    FixedText<4> text;
    EXPECT_FALSE(text.Assign("abc\xC3\xA9"));
    EXPECT_EQ(text.view(), "abc");
    EXPECT_EQ(text.RawBytes()[3], 0);
    EXPECT_TRUE(text.Assign("wxyz"));
    EXPECT_EQ(text.view(), "wxyz");
    EXPECT_TRUE(text.Assign(""));
    EXPECT_TRUE(text.empty());
}

}  // namespace
}  // namespace kx
