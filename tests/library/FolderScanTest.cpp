#include "library/FolderScan.h"

#include <gtest/gtest.h>

#include "LibraryFixtures.h"
#include "support/TempDir.h"

namespace kx {
namespace {

std::vector<std::string> FileNames(const CFileList& list) {
    std::vector<std::string> names;
    for (const FileEntry* entry = list.head(); entry; entry = entry->next)
        names.push_back(entry->FileName());
    return names;
}

TEST(FolderScan, ListsMp4AndAviWithoutRegardToCaseAndSkipsTheRest) {
    test::TempDir dir;
    test::TouchFiles(dir.path(), {"20190412_153010_NR.MP4", "20190412_153010_NF.mp4",
                                  "20190412_153010_N.gps", "20190412_153010_NF.thm",
                                  "20190412_000000_NF.mp4", "x.mp4", ".mp4", "notes.mp4.txt",
                                  "rec_0001F_20190412_153011_E.AvI", "20190413_101010_NF.mp4x"});
    std::filesystem::create_directory(dir / "20190414_101010_NF.mp4");  // a folder
    CFileList list;
    ScanResult result = ScanFolder(list, dir.path());
    EXPECT_EQ(result.count, 3);
    EXPECT_EQ(FileNames(list),
              (std::vector<std::string>{"rec_0001F_20190412_153011_E.AvI", "20190412_153010_NF.mp4",
                                        "20190412_153010_NR.MP4"}));
    EXPECT_EQ(result.dates, (std::vector<std::int32_t>{20190412}));
}

TEST(FolderScan, DateArrayKeepsDatesMetApart) {
    EXPECT_EQ(ScanDates({20190412, 20190412, 20190411, 20190412}),
              (std::vector<std::int32_t>{20190411, 20190412, 20190412}));
    EXPECT_TRUE(ScanDates({}).empty());

    // The mp4 files are met before the avi files.
    test::TempDir dir;
    test::TouchFiles(dir.path(), {"rec_0001F_20190412_130000_N.avi", "20190411_120000_NF.mp4",
                                  "20190411_130000_NF.mp4"});
    CFileList list;
    EXPECT_EQ(ScanFolder(list, dir.path()).dates, (std::vector<std::int32_t>{20190411, 20190412}));
}

TEST(FolderScan, MissingOrEmptyFolderGivesAnEmptyList) {
    test::TempDir dir;
    CFileList list;
    list.Insert("20190412_153010_NF", 0);
    EXPECT_EQ(ScanFolder(list, dir / "gone").count, 0);
    EXPECT_EQ(list.head(), nullptr);
    list.Insert("20190412_153010_NF", 0);
    ScanResult empty = ScanFolder(list, "");
    EXPECT_EQ(empty.count, 0);
    EXPECT_TRUE(empty.dates.empty());
    EXPECT_EQ(list.size(), 0u);
}

TEST(FolderScan, ManyFilesInAnyOrder) {
    test::TempDir dir;
    std::vector<std::string> names;
    char name[40];
    for (int i = 1999; i >= 0; --i) {
        std::snprintf(name, sizeof name, "20190412_%02d%02d01_N%c.mp4", i / 2 / 60 % 24, i / 2 % 60,
                      i % 2 ? 'R' : 'F');
        names.push_back(name);
    }
    test::TouchFiles(dir.path(), names);
    CFileList list;
    EXPECT_EQ(ScanFolder(list, dir.path()).count, 2000);
    for (const FileEntry* entry = list.head(); entry && entry->next; entry = entry->next) {
        if (entry->time == entry->next->time) {
            EXPECT_EQ(entry->name.back(), 'F');
            EXPECT_EQ(entry->next->name.back(), 'R');
        } else {
            EXPECT_GT(entry->time, entry->next->time);
        }
    }
}

}  // namespace
}  // namespace kx
