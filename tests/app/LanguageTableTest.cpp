#include "app/LanguageTable.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace kx {
namespace {

class LanguageTableTest : public testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directory(dir_ / "lng");
        test::WriteFileBytes(dir_ / "lng" / "japan.dat",
                             "[lable]\n"
                             "setup=設定\n"
                             "[message]\n"
                             "file_delete_message=Delete the checked files?\\nThey cannot be "
                             "restored.\n"
                             "long=" +
                                 std::string(1100, 'a') +
                                 "\n"
                                 "[tooltip]\n"
                                 "map_not_connected=No map\n");
        table_.Select("japan", dir_.path());
    }

    test::TempDir dir_;
    LanguageTable table_;
};

TEST_F(LanguageTableTest, LooksTextsUpBySection) {
    EXPECT_EQ(table_.Text("setup", kSectionLabel), "設定");
    EXPECT_EQ(table_.Text("map_not_connected", kSectionTooltip), "No map");
    // Only the tooltip section defines it, so the message section gives the key.
    EXPECT_EQ(table_.Text("map_not_connected", kSectionMessage), "map_not_connected");
    EXPECT_EQ(table_.Text("missing_key", kSectionLabel), "missing_key");
    EXPECT_EQ(table_.Text("setup", 7), "setup");
}

TEST_F(LanguageTableTest, BackslashNBecomesCarriageReturnLineFeed) {
    EXPECT_EQ(table_.Text("file_delete_message", kSectionMessage),
              "Delete the checked files?\r\nThey cannot be restored.");
}

TEST_F(LanguageTableTest, TextsAreCutTo1022Characters) {
    EXPECT_EQ(table_.Text("long", kSectionMessage), std::string(1022, 'a'));
}

TEST_F(LanguageTableTest, TheNextLookupOverwritesTheSharedResult) {
    const std::string& first = table_.Text("setup", kSectionLabel);
    table_.Text("map_not_connected", kSectionTooltip);
    EXPECT_EQ(first, "No map");
}

TEST(LanguageTable, AMissingFileGivesTheKeys) {
    test::TempDir dir;
    LanguageTable table;
    table.Select("english", dir.path());
    EXPECT_EQ(table.filePath(), dir / "lng" / "english.dat");
    EXPECT_EQ(table.Text("file_delete_message", kSectionMessage), "file_delete_message");
}

TEST(LanguageTable, SixteenLanguagesInTheCameraOrder) {
    ASSERT_EQ(kLanguageNames.size(), 16u);
    EXPECT_EQ(kLanguageNames[0], "korea");
    EXPECT_EQ(kLanguageNames[3], "japan");
    EXPECT_EQ(kLanguageNames[9], "vietnamese");
    EXPECT_EQ(kLanguageNames[15], "finnish");
}

// The shipped language files: both hold the same keys, and every key the viewer looks up.
TEST(LanguageFiles, ShippedFilesAnswerTheViewersKeys) {
    for (const char* language : {"japan", "english"}) {
        LanguageTable table;
        table.Select(language, test::BinDir());
        for (auto [key, section] :
             {std::pair{"setup", kSectionLabel}, std::pair{"file_delete_message", kSectionMessage},
              std::pair{"map_not_connected", kSectionTooltip},
              std::pair{"format_reject1", kSectionTooltip}}) {
            EXPECT_NE(table.Text(key, section), key) << language << " lacks " << key;
        }
    }
}

}  // namespace
}  // namespace kx
