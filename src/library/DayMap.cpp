#include "library/DayMap.h"

#include <algorithm>

#include "library/DurationProbe.h"
#include "library/LocalCalendar.h"
#include "library/RecordingName.h"

namespace kx {
namespace {

constexpr int kSecondsPerMinute = 60;

void RaiseMinutes(HourEntry& hour, int first, int last, int level) {
    first = std::max(first, 0);
    last = std::min(last, kMinutesPerHour - 1);
    for (int minute = first; minute <= last; ++minute)
        if (hour.minuteLevels[minute] < level)
            hour.minuteLevels[minute] = static_cast<std::uint8_t>(level);
}

int HourOf(const FileEntry& entry) {
    return entry.time / 10000;
}

}  // namespace

Coverage Covers(const FileEntry& entry, std::int32_t date, std::int32_t hhmmss) {
    Coverage result;
    std::optional<std::time_t> start = LocalMoment(entry.date, entry.time);
    std::optional<std::time_t> moment = LocalMoment(date, hhmmss / 100 * 100);
    if (!start || !moment) return result;
    result.end = *start + std::max(entry.duration, 0);
    std::tm endFields{};
    if (!localtime_r(&result.end, &endFields)) return result;
    result.endMinute = endFields.tm_min;
    result.covers = result.end >= *moment;
    return result;
}

DayMap::~DayMap() {
    DayEntry* day = head_;
    while (day) {
        DayEntry* next = day->next;
        delete day;  // its hour slots go with it
        day = next;
    }
}

void DayMap::Add(const FileEntry& entry, std::uint32_t listIndex) {
    if (!last_ || last_->date != entry.date) {
        auto day = std::make_unique<DayEntry>();
        day->date = entry.date;
        day->firstListIndex = static_cast<std::int32_t>(listIndex);
        DayEntry* added = day.release();
        if (last_) {
            added->next = last_->next;
            last_->next = added;
        } else {
            head_ = added;
        }
        last_ = added;
    }
    int hour = HourOf(entry);
    if (hour < 0 || hour >= kHoursPerDay) return;  // an hour field out of range marks nothing
    HourSlot(*last_, hour, KindLevel(entry.kindCode), listIndex);
}

DayEntry* DayMap::Find(std::int32_t date) const {
    for (DayEntry* day = head_; day; day = day->next)
        if (day->date == date) return day;
    return nullptr;
}

HourEntry& DayMap::HourSlot(DayEntry& day, int hour, int level, std::uint32_t listIndex) {
    std::unique_ptr<HourEntry>& slot = day.hours[hour];
    if (!slot) {
        slot = std::make_unique<HourEntry>();
        slot->level = static_cast<std::uint8_t>(level);
        slot->firstListIndex = listIndex;
    } else if (slot->level < level) {
        slot->level = static_cast<std::uint8_t>(level);
    }
    return *slot;
}

DayEntry* DayMap::NextDay(DayEntry& day, std::uint32_t listIndex) {
    std::optional<std::int32_t> nextDate = NextDate(day.date);
    if (!nextDate) return nullptr;
    if (DayEntry* existing = Find(*nextDate)) return existing;
    auto created = std::make_unique<DayEntry>();
    created->date = *nextDate;
    created->firstListIndex = static_cast<std::int32_t>(listIndex);
    created->next = day.next;
    day.next = created.release();
    return day.next;
}

void DayMap::MarkMinutes(DayEntry& day, int hour, const FileEntry& entry, std::uint32_t listIndex) {
    HourEntry* slot = day.hours[hour].get();
    // A name out of calendar range stays listed but covers no moment.
    if (!slot || !IsCalendarValid(entry.date, entry.time)) return;
    const int level = KindLevel(entry.kindCode);
    const int startMinute = entry.time / 100 % 100;
    const int startSecond = entry.time % 100;
    const std::int64_t endMinute =
        startMinute +
        (static_cast<std::int64_t>(startSecond) + std::max(entry.duration, 0)) / kSecondsPerMinute;
    RaiseMinutes(*slot, startMinute, static_cast<int>(std::min<std::int64_t>(endMinute, 59)),
                 level);
    if (endMinute < kMinutesPerHour) return;

    const int spillLast =
        static_cast<int>(std::min<std::int64_t>(endMinute - kMinutesPerHour, kMinutesPerHour - 1));
    DayEntry* spillDay = &day;
    int spillHour = hour + 1;
    if (spillHour == kHoursPerDay) {
        spillDay = NextDay(day, listIndex);  // past midnight: hour 0 of the following date
        spillHour = 0;
        if (!spillDay) return;
    }
    RaiseMinutes(HourSlot(*spillDay, spillHour, level, listIndex), 0, spillLast, level);
}

bool DayMap::FillMinutes(DayEntry& day, int hour, std::span<FileEntry* const> rows,
                         const std::filesystem::path& recordFolder) {
    if (hour < 0 || hour >= kHoursPerDay || !day.hours[hour]) return false;
    std::size_t row =
        day.firstListIndex < 0 ? rows.size() : static_cast<std::size_t>(day.firstListIndex);
    for (; row < rows.size(); ++row) {
        FileEntry& entry = *rows[row];
        if (entry.date != day.date) break;
        const int entryHour = HourOf(entry);
        if (entryHour > hour) continue;
        if (entryHour < hour) break;
        if (entry.duration == 0) ProbeDuration(entry, recordFolder);
        MarkMinutes(day, hour, entry, static_cast<std::uint32_t>(row));
    }
    // The recording that started just before this hour may run into it.
    if (row < rows.size()) {
        const FileEntry& earlier = *rows[row];
        Coverage coverage = Covers(earlier, day.date, hour * 10000);
        std::optional<std::time_t> hourStart = LocalMoment(day.date, hour * 10000);
        if (coverage.covers && hourStart) {
            std::int64_t lastMinute = (coverage.end - *hourStart) / kSecondsPerMinute;
            RaiseMinutes(*day.hours[hour], 0,
                         static_cast<int>(std::min<std::int64_t>(lastMinute, 59)),
                         KindLevel(earlier.kindCode));
        }
    }
    day.hours[hour]->minutesFilled = 1;
    return true;
}

bool DayMap::MarkEntry(const FileEntry& entry, std::uint32_t listIndex) {
    DayEntry* day = Find(entry.date);
    const int hour = HourOf(entry);
    if (!day || hour < 0 || hour >= kHoursPerDay || !day->hours[hour]) return false;
    MarkMinutes(*day, hour, entry, listIndex);
    return true;
}

}  // namespace kx
