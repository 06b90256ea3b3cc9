#include "library/RecordingName.h"

#include <gtest/gtest.h>

#include "library/CFileList.h"
#include "library/ListFilter.h"

namespace kx {
namespace {

struct KindCase {
    const char* name;
    int scheme;
    int kindCode;
    int baseKind;
    int cameraGroup;
    int level;
};

TEST(RecordingName, KindTable) {
    const KindCase cases[] = {
        {"20190412_153010_NF", 0, 0, 0, 0, 1},
        {"20190412_153010_EF", 0, 1, 1, 0, 2},
        {"20190412_153010_IF", 0, 1, 1, 0, 2},
        {"20190412_153010_PF", 0, 2, 2, 0, 3},
        {"20190412_153010_MF", 0, 3, 3, 0, 4},
        {"20190412_153010_NR", 0, 4, 0, 1, 1},
        {"20190412_153010_TR", 0, 6, 2, 1, 3},
        {"20190412_153010_MR", 0, 7, 3, 1, 4},
        {"20190412_153010_NL", 0, 51, 0, kCameraGroupNone, 1},
        {"20190412_153010_EL", 0, 52, 1, kCameraGroupNone, 2},
        {"20190412_153010_ML", 0, 54, 3, kCameraGroupNone, 4},
        {"20190412_153010_EFS", 0, 1, 1, 0, 2},  // a trailing S is skipped
        {"20190412_153010_PRS", 0, 6, 2, 1, 3},
        {"20190412_153010_E", 0, 1, 1, 0, 2},  // no camera letter: the last one is the kind
        {"20190412_153010_P", 0, 2, 2, 0, 3},
        {"20190412_153010_X", 0, 0, 0, 0, 1},
        {"20190412_153010_XF", 0, 0, 0, 0, 1},  // unknown kind letter: normal
        {"20190412_153010_ES", 0, 1, 1, 0, 2},
        // Scheme 1: evt/mot prefix or trailing E is an event, trailing P parking; R three
        // places from the end is the rear camera.
        {"evt_0001F_20190412_153010_N", 1, 1, 1, 0, 2},
        {"mot_0001F_20190412_153010_N", 1, 1, 1, 0, 2},
        {"rec_0001F_20190412_153010_E", 1, 1, 1, 0, 2},
        {"rec_0001F_20190412_153010_P", 1, 2, 2, 0, 3},
        {"rec_0001F_20190412_153010_N", 1, 0, 0, 0, 1},
        {"rec_0001F_20190412_153010_R__", 1, 4, 0, 1, 1},
        {"evt_0001F_20190412_153010_R_P", 1, 5, 1, 1, 2},
        {"rec_0001F_20190412_153010_ML", 1, 0, 0, 0, 1},  // no manual kind, no L camera
    };
    for (const KindCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<ParsedName> parsed = ParseRecordingName(c.name, c.scheme);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->kindCode, c.kindCode);
        EXPECT_EQ(BaseKind(parsed->kindCode), c.baseKind);
        EXPECT_EQ(CameraGroup(parsed->kindCode), c.cameraGroup);
        EXPECT_EQ(KindLevel(parsed->kindCode), c.level);
    }
}

TEST(RecordingName, DateAndTimeFields) {
    auto mp4 = ParseRecordingName("20190412_153010_EF", 0);
    ASSERT_TRUE(mp4);
    EXPECT_EQ(mp4->date, 20190412);
    EXPECT_EQ(mp4->time, 153010);
    // The separators may be any character.
    auto odd = ParseRecordingName("20190412x153010yEF", 0);
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->time, 153010);
    auto avi = ParseRecordingName("evt_0001F_20190412_153010_N", 1);
    ASSERT_TRUE(avi);
    EXPECT_EQ(avi->date, 20190412);
    EXPECT_EQ(avi->time, 153010);
    // Leading digits only: "1530xx" reads 1530.
    auto partial = ParseRecordingName("20190412_1530xx_NF", 0);
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->time, 1530);
}

TEST(RecordingName, RejectedNames) {
    for (const char* name : {"20190412_000000_NF",  // time reads 0
                             "19700101_120000_NF",  // before 1971
                             "00000000_120000_NF",  // date 0
                             "x0190412_120000_NF",  // no leading digit
                             "20190412_",           // no time field
                             "2019", "", "S"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(ParseRecordingName(name, 0));
    }
    EXPECT_TRUE(ParseRecordingName("19710101_120000_NF", 0));
    EXPECT_FALSE(ParseRecordingName("20190412_153010_NF", 1));  // scheme 1 reads other fields
    EXPECT_FALSE(ParseRecordingName("20190412_153010_NF", 2));
}

TEST(RecordingName, OutOfCalendarRangeIsStillAccepted) {
    EXPECT_TRUE(ParseRecordingName("20191345_120000_NF", 0));
    EXPECT_TRUE(ParseRecordingName("20190412_250000_NF", 0));
}

TEST(RecordingName, DisplayNames) {
    EXPECT_EQ(DisplayName("20190412_153010_NF", 0), "20190412_153010_NF");
    EXPECT_EQ(DisplayName("rec_0001F_20190412_153010_N", 1), "20190412_153010_N");
    EXPECT_EQ(DisplayName("evt_0001F_20190412_153010_N", 1), "20190412_153010_E");
    EXPECT_EQ(DisplayName("rec_0001F_20190412_153010_P", 1), "20190412_153010_P");
    EXPECT_EQ(DisplayName("evt_0001F_20190412_153010_P", 1), "20190412_153010_I");
    EXPECT_EQ(DisplayName("rec_0001F_20190412_153010_F__", 1), "20190412_153010_NF");
    EXPECT_EQ(DisplayName("rec_0001F_20190412_153010_R__", 1), "20190412_153010_NR");
    EXPECT_EQ(DisplayName("short", 1), "N");
}

TEST(RecordingName, CameraLetterAndSidecarStem) {
    EXPECT_EQ(CameraLetter("20190412_153010_NF"), 'F');
    EXPECT_EQ(CameraLetter("20190412_153010_NRS"), 'R');
    EXPECT_EQ(CameraLetter("20190412_153010_E"), 'E');
    EXPECT_EQ(CameraLetter("S"), '\0');
    EXPECT_EQ(SidecarStem("20190412_153010_NF"), "20190412_153010_N");
    EXPECT_EQ(SidecarStem("20190412_153010_NRS"), "20190412_153010_N");
    EXPECT_EQ(SidecarStem("20190412_153010_NL"), "20190412_153010_N");
    EXPECT_EQ(SidecarStem("20190412_153010_E"), "20190412_153010_E");
}

}  // namespace
}  // namespace kx

namespace kx {
namespace {

TEST(ListFilter, CameraKindAndDateFilters) {
    CFileList list;
    const FileEntry* front = list.Insert("20190412_153010_EF", 0).entry;
    const FileEntry* rear = list.Insert("20190412_153010_ER", 0).entry;
    const FileEntry* cameraL = list.Insert("20190412_153010_ML", 0).entry;
    const FileEntry* older = list.Insert("20190411_153010_NF", 0).entry;

    ListFilter filter;
    for (const FileEntry* entry : {front, rear, cameraL, older}) EXPECT_TRUE(filter.Passes(*entry));
    filter.cameras = {false, false};
    EXPECT_FALSE(filter.Passes(*front));
    EXPECT_FALSE(filter.Passes(*rear));
    EXPECT_TRUE(filter.Passes(*cameraL));  // camera L is in no camera group
    filter.cameras = {true, true};
    filter.kinds[kKindEvent] = false;
    EXPECT_FALSE(filter.Passes(*front));
    EXPECT_TRUE(filter.Passes(*older));
    filter.kinds[kKindManual] = false;
    EXPECT_FALSE(filter.Passes(*cameraL));
    filter = ListFilter{};
    filter.date = 20190412;
    EXPECT_TRUE(filter.Passes(*front));
    EXPECT_FALSE(filter.Passes(*older));
}

}  // namespace
}  // namespace kx
