#pragma once
// Wall-clock times of recordings: yyyymmdd and hhmmss integers read as local time (the
// process's time zone). Values out of calendar range give no result.
#include <cstdint>
#include <ctime>
#include <optional>

namespace kx {

// Year from 1900, month 1-12, day 1-31, hour 0-23, minutes and seconds 0-59.
bool IsCalendarValid(std::int32_t date, std::int32_t hhmmss);

// The moment of date and hhmmss in local time.
std::optional<std::time_t> LocalMoment(std::int32_t date, std::int32_t hhmmss);

// The following calendar date (20191231 gives 20200101), by the calendar rather than by
// adding 86400 seconds, which lands on the same date on a day with an extra hour.
std::optional<std::int32_t> NextDate(std::int32_t date);

}  // namespace kx
