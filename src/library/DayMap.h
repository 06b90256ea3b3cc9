#pragma once
// The day map: per day, per hour and per minute which kind of recording covers the time, for
// the timeline. Built from the listed rows in list order (newest day first); the minute
// levels of an hour are worked out on first use.
#include <array>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>

#include "library/FileEntry.h"

namespace kx {

inline constexpr int kHoursPerDay = 24;
inline constexpr int kMinutesPerHour = 60;

struct HourEntry {
    std::uint8_t level = 0;          // highest level of the listed recordings starting here
    std::uint8_t minutesFilled = 0;  // 0 until the minute levels have been worked out
    // List position of the first listed entry starting in the hour (the latest one). Kept in
    // 32 bits: a card of many thousand recordings has positions beyond 65535.
    std::uint32_t firstListIndex = 0;
    std::array<std::uint8_t, kMinutesPerHour> minuteLevels{};  // 0 = nothing recorded
};

struct DayEntry {
    std::int32_t date = 0;            // yyyymmdd
    std::int32_t firstListIndex = 0;  // list position of the day's first listed entry
    std::array<std::unique_ptr<HourEntry>, kHoursPerDay> hours;  // null: nothing starts there
    DayEntry* next = nullptr;                                    // owned by the DayMap
};

// The moment an entry's recording ends and whether it reaches a given moment.
struct Coverage {
    bool covers = false;  // the end is not earlier than the given moment
    int endMinute = 0;    // minute (0-59) of the end
    std::time_t end = 0;
};

// Start (date and time as local time) plus duration against date at the hour and minute of
// hhmmss (its seconds are not used). Entries or moments out of calendar range cover nothing.
Coverage Covers(const FileEntry& entry, std::int32_t date, std::int32_t hhmmss);

class DayMap {
  public:
    DayMap() = default;
    ~DayMap();
    DayMap(const DayMap&) = delete;
    DayMap& operator=(const DayMap&) = delete;

    // Building: called for each listed row in list order with its list position.
    void Add(const FileEntry& entry, std::uint32_t listIndex);

    DayEntry* head() const { return head_; }
    DayEntry* Find(std::int32_t date) const;

    // Works out the 60 minute levels of one hour of a day on first use, probing unknown
    // durations in the record folder. rows are the listed entries in list order. False when
    // the hour has no slot.
    bool FillMinutes(DayEntry& day, int hour, std::span<FileEntry* const> rows,
                     const std::filesystem::path& recordFolder);

    // Re-marks the minutes of one listed entry after its duration became known. False when
    // the entry's day or hour is not in the map.
    bool MarkEntry(const FileEntry& entry, std::uint32_t listIndex);

  private:
    // Raises minutes start..end of the hour starting the entry and spills what lies beyond
    // minute 59 into the next hour (hour 0 of the next date after 23).
    void MarkMinutes(DayEntry& day, int hour, const FileEntry& entry, std::uint32_t listIndex);
    HourEntry& HourSlot(DayEntry& day, int hour, int level, std::uint32_t listIndex);
    DayEntry* NextDay(DayEntry& day, std::uint32_t listIndex);

    DayEntry* head_ = nullptr;
    DayEntry* last_ = nullptr;  // the current day while building
};

}  // namespace kx
