#include "library/DayMap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <vector>

#include "LibraryFixtures.h"
#include "library/CFileList.h"
#include "library/LocalCalendar.h"
#include "support/TempDir.h"

namespace kx {
namespace {

// A list with known durations and the day map of all its rows.
class DayMapTest : public testing::Test {
  protected:
    FileEntry* Add(const char* name, int duration) {
        FileEntry* entry = list_.Insert(name, 0).entry;
        EXPECT_NE(entry, nullptr) << name;
        if (entry) entry->duration = duration;
        return entry;
    }
    void Build() {
        rows_.clear();
        for (FileEntry* entry = list_.head(); entry; entry = entry->next) rows_.push_back(entry);
        map_ = std::make_unique<DayMap>();
        for (std::size_t i = 0; i < rows_.size(); ++i)
            map_->Add(*rows_[i], static_cast<std::uint32_t>(i));
    }
    bool Fill(std::int32_t date, int hour) {
        DayEntry* day = map_->Find(date);
        return day && map_->FillMinutes(*day, hour, rows_, folder_.path());
    }
    const HourEntry* Hour(std::int32_t date, int hour) const {
        DayEntry* day = map_->Find(date);
        return day ? day->hours[hour].get() : nullptr;
    }
    // Minutes with a level, as "minute:level" pairs.
    std::vector<std::pair<int, int>> Marked(std::int32_t date, int hour) const {
        std::vector<std::pair<int, int>> marked;
        const HourEntry* slot = Hour(date, hour);
        if (!slot) return marked;
        for (int minute = 0; minute < kMinutesPerHour; ++minute)
            if (slot->minuteLevels[minute]) marked.push_back({minute, slot->minuteLevels[minute]});
        return marked;
    }
    std::vector<std::int32_t> ChainDates() const {
        std::vector<std::int32_t> dates;
        for (DayEntry* day = map_->head(); day; day = day->next) dates.push_back(day->date);
        return dates;
    }

    test::TempDir folder_;
    CFileList list_;
    std::vector<FileEntry*> rows_;
    std::unique_ptr<DayMap> map_;
};

using Marks = std::vector<std::pair<int, int>>;

TEST_F(DayMapTest, BuildsDaysAndHoursInListOrder) {
    Add("20190412_153010_NF", 60);
    Add("20190412_153010_NR", 60);
    Add("20190412_150000_EF", 60);
    Add("20190412_101010_PF", 60);
    Add("20190411_235959_MF", 60);
    Build();
    EXPECT_EQ(ChainDates(), (std::vector<std::int32_t>{20190412, 20190411}));
    EXPECT_EQ(map_->head()->firstListIndex, 0);
    EXPECT_EQ(map_->head()->next->firstListIndex, 4);
    ASSERT_TRUE(Hour(20190412, 15));
    EXPECT_EQ(Hour(20190412, 15)->level, 2);  // the event wins over the normal files
    EXPECT_EQ(Hour(20190412, 15)->firstListIndex, 0u);
    EXPECT_EQ(Hour(20190412, 15)->minutesFilled, 0);
    EXPECT_EQ(Hour(20190412, 10)->level, 3);
    EXPECT_EQ(Hour(20190412, 10)->firstListIndex, 3u);
    EXPECT_EQ(Hour(20190411, 23)->level, 4);
    EXPECT_FALSE(Hour(20190412, 11));
}

TEST_F(DayMapTest, MinutesOfAnHourWithOverlapAndSpillIntoTheNextHour) {
    Add("20190412_105930_NF", 60);  // 10:59:30 for 60 s: minute 59 and minute 0 of 11
    Add("20190412_105000_EF", 185);
    Add("20190412_104500_NF", 300);  // a long normal one under the event
    Build();
    EXPECT_FALSE(Hour(20190412, 11));
    ASSERT_TRUE(Fill(20190412, 10));
    EXPECT_EQ(Hour(20190412, 10)->minutesFilled, 1);
    EXPECT_EQ(Marked(20190412, 10), (Marks{{45, 1},
                                           {46, 1},
                                           {47, 1},
                                           {48, 1},
                                           {49, 1},
                                           {50, 2},
                                           {51, 2},
                                           {52, 2},
                                           {53, 2},
                                           {59, 1}}));
    ASSERT_TRUE(Hour(20190412, 11));  // created by the spill with the row's level and position
    EXPECT_EQ(Hour(20190412, 11)->level, 1);
    EXPECT_EQ(Hour(20190412, 11)->firstListIndex, 0u);
    EXPECT_EQ(Marked(20190412, 11), (Marks{{0, 1}}));
}

TEST_F(DayMapTest, AnHourSeesTheRecordingThatStartedBeforeIt) {
    Add("20190412_110500_EF", 60);
    Add("20190412_105830_NF", 150);  // runs to 11:01:00
    Build();
    ASSERT_TRUE(Fill(20190412, 11));
    EXPECT_EQ(Marked(20190412, 11), (Marks{{0, 1}, {1, 1}, {5, 2}, {6, 2}}));
}

TEST_F(DayMapTest, RowsOfLaterHoursArePassedOverAndEarlierDatesStopTheWalk) {
    Add("20190412_120000_NF", 60);
    Add("20190412_100000_NF", 60);
    Add("20190411_100000_EF", 60);
    Build();
    ASSERT_TRUE(Fill(20190412, 10));
    EXPECT_EQ(Marked(20190412, 10), (Marks{{0, 1}, {1, 1}}));
    EXPECT_FALSE(Fill(20190412, 11));  // no slot
}

TEST_F(DayMapTest, SpillAcrossMidnightMakesTheNextDay) {
    Add("20191231_235930_EF", 90);  // to 00:01:00
    Add("20191230_120000_NF", 60);
    Build();
    ASSERT_TRUE(Fill(20191231, 23));
    EXPECT_EQ(Marked(20191231, 23), (Marks{{59, 2}}));
    EXPECT_EQ(ChainDates(), (std::vector<std::int32_t>{20191231, 20200101, 20191230}));
    EXPECT_EQ(Marked(20200101, 0), (Marks{{0, 2}, {1, 2}}));
    // Filling the new day's hour finds the recording of the day before through its position.
    ASSERT_TRUE(Fill(20200101, 0));
    EXPECT_EQ(Marked(20200101, 0), (Marks{{0, 2}, {1, 2}}));
}

TEST_F(DayMapTest, SpillIntoAnExistingNextDay) {
    Add("20200101_003000_NF", 60);
    Add("20191231_235930_EF", 90);
    Build();
    ASSERT_TRUE(Fill(20200101, 0));
    EXPECT_EQ(Marked(20200101, 0), (Marks{{0, 2}, {1, 2}, {30, 1}, {31, 1}}));
    ASSERT_TRUE(Fill(20191231, 23));
    EXPECT_EQ(ChainDates(), (std::vector<std::int32_t>{20200101, 20191231}));
    EXPECT_EQ(Marked(20200101, 0), (Marks{{0, 2}, {1, 2}, {30, 1}, {31, 1}}));
}

TEST_F(DayMapTest, FillProbesUnknownDurations) {
    Add("20190412_100000_NF", 0);
    Build();
    test::WriteFileBytes(folder_ / "20190412_100000_NF.mp4", test::Mp4File(1000, 150000));
    ASSERT_TRUE(Fill(20190412, 10));
    EXPECT_EQ(rows_[0]->duration, 150);
    EXPECT_EQ(rows_[0]->spanMinutes, 3);
    EXPECT_EQ(Marked(20190412, 10), (Marks{{0, 1}, {1, 1}, {2, 1}}));
}

TEST_F(DayMapTest, MarkEntryAfterTheDurationIsKnown) {
    FileEntry* entry = Add("20190412_235900_PF", 0);
    Build();
    ASSERT_TRUE(Fill(20190412, 23));  // the file is missing: it covers its own minute
    EXPECT_EQ(Marked(20190412, 23), (Marks{{59, 3}}));
    entry->duration = 125;
    EXPECT_TRUE(map_->MarkEntry(*entry, 0));
    EXPECT_EQ(Marked(20190413, 0), (Marks{{0, 3}, {1, 3}}));

    FileEntry* unlisted = list_.Insert("20190410_100000_NF", 0).entry;
    EXPECT_FALSE(map_->MarkEntry(*unlisted, 1));
}

TEST_F(DayMapTest, NamesOutOfCalendarRangeStayListedAndCoverNothing) {
    FileEntry* badMonth = Add("20191345_120000_NF", 60);
    FileEntry* badHour = Add("20190412_250000_NF", 60);
    FileEntry* badMinute = Add("20190412_106000_NF", 60);
    Build();
    EXPECT_EQ(list_.size(), 3u);
    EXPECT_TRUE(Hour(20191345, 12));
    EXPECT_TRUE(Fill(20191345, 12));
    EXPECT_TRUE(Marked(20191345, 12).empty());
    EXPECT_FALSE(map_->MarkEntry(*badHour, 1));
    EXPECT_TRUE(Fill(20190412, 10));
    EXPECT_TRUE(Marked(20190412, 10).empty());
    for (FileEntry* entry : {badMonth, badHour, badMinute})
        EXPECT_FALSE(Covers(*entry, 20190412, 0).covers);
}

TEST(Covers, EndAgainstAWholeMinute) {
    CFileList list;
    FileEntry* entry = list.Insert("20190412_105930_NF", 0).entry;
    entry->duration = 60;
    Coverage coverage = Covers(*entry, 20190412, 110000);
    EXPECT_TRUE(coverage.covers);
    EXPECT_EQ(coverage.endMinute, 0);
    EXPECT_TRUE(Covers(*entry, 20190412, 110045).covers);  // seconds are not used
    EXPECT_FALSE(Covers(*entry, 20190412, 110100).covers);
    EXPECT_FALSE(Covers(*entry, 20190413, 0).covers);
    EXPECT_TRUE(Covers(*entry, 20190411, 235900).covers);
    EXPECT_FALSE(Covers(*entry, 20190412, 256000).covers);  // a moment out of range
}

TEST(LocalCalendar, NextDateByTheCalendar) {
    EXPECT_EQ(NextDate(20191231), 20200101);
    EXPECT_EQ(NextDate(20200228), 20200229);
    EXPECT_EQ(NextDate(20190228), 20190301);
    EXPECT_EQ(NextDate(21000228), 21000301);
    EXPECT_FALSE(NextDate(20191301));
    EXPECT_FALSE(NextDate(18991231));
}

// On a day of 25 hours, midnight plus 86400 seconds is still the same date; the spill must
// go to the following date all the same.
TEST(LocalCalendar, SpillOnADayWithAnExtraHour) {
    const char* saved = std::getenv("TZ");
    std::string previous = saved ? saved : "";
    setenv("TZ", "Europe/London", 1);
    tzset();
    {
        CFileList list;
        FileEntry* entry = list.Insert("20191027_235930_NF", 0).entry;
        entry->duration = 90;
        std::vector<FileEntry*> rows{entry};
        DayMap map;
        map.Add(*entry, 0);
        test::TempDir folder;
        ASSERT_TRUE(map.FillMinutes(*map.head(), 23, rows, folder.path()));
        ASSERT_TRUE(map.head()->next);
        EXPECT_EQ(map.head()->next->date, 20191028);
        ASSERT_TRUE(map.head()->next->hours[0]);
        EXPECT_EQ(map.head()->next->hours[0]->minuteLevels[1], 1);
        EXPECT_TRUE(Covers(*entry, 20191028, 100).covers);
        EXPECT_FALSE(Covers(*entry, 20191028, 200).covers);
    }
    if (saved)
        setenv("TZ", previous.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(DayMap, ListPositionsBeyondSixteenBits) {
    CFileList list;
    FileEntry* entry = list.Insert("20190412_100000_NF", 0).entry;
    DayMap map;
    map.Add(*entry, 70000);
    EXPECT_EQ(map.head()->hours[10]->firstListIndex, 70000u);
}

}  // namespace
}  // namespace kx
