#include "library/LocalCalendar.h"

namespace kx {
namespace {

constexpr int kMinimumCalendarYear = 1900;

// Days since 1970-01-01 of a proleptic Gregorian date; days past the month's end roll over.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

std::int32_t CivilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shifted = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    const unsigned month = shifted < 10 ? shifted + 3 : shifted - 9;
    const std::int64_t year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2);
    return static_cast<std::int32_t>(year * 10000 + month * 100 + day);
}

}  // namespace

bool IsCalendarValid(std::int32_t date, std::int32_t hhmmss) {
    const int year = date / 10000, month = date / 100 % 100, day = date % 100;
    const int hour = hhmmss / 10000, minute = hhmmss / 100 % 100, second = hhmmss % 100;
    return date > 0 && hhmmss >= 0 && year >= kMinimumCalendarYear && month >= 1 && month <= 12 &&
           day >= 1 && day <= 31 && hour <= 23 && minute <= 59 && second <= 59;
}

std::optional<std::time_t> LocalMoment(std::int32_t date, std::int32_t hhmmss) {
    if (!IsCalendarValid(date, hhmmss)) return std::nullopt;
    std::tm fields{};
    fields.tm_year = date / 10000 - 1900;
    fields.tm_mon = date / 100 % 100 - 1;
    fields.tm_mday = date % 100;
    fields.tm_hour = hhmmss / 10000;
    fields.tm_min = hhmmss / 100 % 100;
    fields.tm_sec = hhmmss % 100;
    fields.tm_isdst = -1;  // the zone's own rule for that day
    std::time_t moment = std::mktime(&fields);
    if (moment == static_cast<std::time_t>(-1)) return std::nullopt;
    return moment;
}

std::optional<std::int32_t> NextDate(std::int32_t date) {
    if (!IsCalendarValid(date, 0)) return std::nullopt;
    const std::int64_t days = DaysFromCivil(date / 10000, static_cast<unsigned>(date / 100 % 100),
                                            static_cast<unsigned>(date % 100));
    return CivilFromDays(days + 1);
}

}  // namespace kx
