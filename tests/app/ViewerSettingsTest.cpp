#include "app/ViewerSettings.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace kx {
namespace {

class ViewerSettingsTest : public testing::Test {
  protected:
    StartupFolders Folders() const { return {dir_ / "Documents", dir_ / "Videos", dir_ / "bin"}; }
    std::filesystem::path SettingsFolder() const { return dir_ / "Documents" / "KX-TMQ4"; }
    void WriteSetupIni(std::string_view text) {
        std::filesystem::create_directories(SettingsFolder());
        test::WriteFileBytes(SettingsFolder() / "setup.ini", text);
    }

    test::TempDir dir_;
    ViewerSettings settings_;
};

TEST_F(ViewerSettingsTest, DefaultsWithoutASetupFile) {
    settings_.Load(Folders(), "1.05", 1);
    EXPECT_EQ(settings_.settingsFolder(), SettingsFolder());
    EXPECT_TRUE(std::filesystem::is_directory(SettingsFolder()));
    EXPECT_EQ(settings_.recordFolder(), dir_ / "Videos" / "Videos");
    EXPECT_EQ(settings_.exportFolder(), dir_ / "Videos" / "Videos");
    EXPECT_EQ(settings_.BrowseFolder(), dir_ / "Videos" / "Videos");
    EXPECT_TRUE(settings_.videoPip());
    EXPECT_EQ(test::ReadFileBytes(SettingsFolder() / "trace_sd.txt"), "Version : 1.05\n");
}

TEST_F(ViewerSettingsTest, ExportFolderFallsBackToTheMovePath) {
    WriteSetupIni("[setup]\nmovepath=/media/clips\nvideo_pip=0\n");
    settings_.Load(Folders(), "1.05", 1);
    EXPECT_EQ(settings_.exportFolder(), "/media/clips");
    EXPECT_FALSE(settings_.videoPip());
}

TEST_F(ViewerSettingsTest, PathsAreCutTo258Characters) {
    std::string longPath = "/" + std::string(300, 'p');
    WriteSetupIni("[setup]\nexportpath=" + longPath + "\n");
    settings_.Load(Folders(), "1.05", 1);
    EXPECT_EQ(settings_.exportFolder().string(), longPath.substr(0, 258));
}

TEST_F(ViewerSettingsTest, ExportPathIsWrittenOnlyWhenItChanges) {
    WriteSetupIni("[setup]\r\nexportpath=/a\r\n");
    settings_.Load(Folders(), "1.05", 1);
    auto ini = SettingsFolder() / "setup.ini";
    auto before = std::filesystem::last_write_time(ini);
    settings_.SetExportFolder("/a");
    EXPECT_EQ(std::filesystem::last_write_time(ini), before);
    settings_.SetExportFolder("/b");
    EXPECT_EQ(test::ReadFileBytes(ini), "[setup]\r\nexportpath=/b\r\n");
    settings_.SetBrowseFolder("/media/card/KX-TMQ4/Record");
    EXPECT_EQ(settings_.BrowseFolder(), "/media/card/KX-TMQ4/Record");
}

TEST_F(ViewerSettingsTest, LeftoverScratchFilesAreDeletedAtStartUp) {
    WriteSetupIni("");
    test::WriteFileBytes(SettingsFolder() / "playfile.dat", "old packets");
    test::WriteFileBytes(SettingsFolder() / "stepfile.dat", "old steps");
    settings_.Load(Folders(), "1.05", 1);
    EXPECT_FALSE(std::filesystem::exists(SettingsFolder() / "playfile.dat"));
    EXPECT_FALSE(std::filesystem::exists(SettingsFolder() / "stepfile.dat"));
}

TEST_F(ViewerSettingsTest, StepFileGrowsButNeverShrinks) {
    settings_.Load(Folders(), "1.05", 1);
    auto path = settings_.stepFilePath();
    std::FILE* first = settings_.StepFile(1000);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(std::filesystem::file_size(path), 1000u);
    EXPECT_EQ(settings_.StepFile(500), first);
    EXPECT_EQ(std::filesystem::file_size(path), 1000u);
    ASSERT_NE(settings_.StepFile(2000), nullptr);
    EXPECT_EQ(std::filesystem::file_size(path), 2000u);
    EXPECT_EQ(settings_.StepFile(0), nullptr);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ViewerSettingsTest, PacketFileIsCreatedEmptyAndDeletedOnRelease) {
    settings_.Load(Folders(), "1.05", 1);
    {
        UniqueFile file = settings_.OpenPacketFile();
        ASSERT_NE(file, nullptr);
        EXPECT_GE(std::fputs("packets", file.get()), 0);
    }
    EXPECT_TRUE(std::filesystem::exists(settings_.packetFilePath()));
    settings_.ReleasePacketFile();
    EXPECT_FALSE(std::filesystem::exists(settings_.packetFilePath()));
}

TEST_F(ViewerSettingsTest, AnUnusableSettingsFolderLeavesDefaultsAndNoFiles) {
    // A file where the documents folder should be: nothing can be created below it.
    test::WriteFileBytes(dir_ / "Documents", "not a folder");
    settings_.Load(Folders(), "1.05", 1);
    EXPECT_EQ(settings_.recordFolder(), dir_ / "Videos" / "Videos");
    EXPECT_EQ(settings_.StepFile(100), nullptr);
    EXPECT_EQ(settings_.OpenPacketFile(), nullptr);
    EXPECT_FALSE(settings_.WriteString("movepath", "/x"));
}

TEST(DisplayScale, TwoFrom1440PhysicalPixelsUp) {
    EXPECT_EQ(DisplayScaleForScreenHeight(1440), 2);
    EXPECT_EQ(DisplayScaleForScreenHeight(2160), 2);
    EXPECT_EQ(DisplayScaleForScreenHeight(1200), 1);
    EXPECT_EQ(DisplayScaleForScreenHeight(0), 1);
}

}  // namespace
}  // namespace kx
