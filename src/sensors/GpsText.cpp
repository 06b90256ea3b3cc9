#include "sensors/GpsText.h"

#include <cstring>
#include <ctime>

#include "sensors/NmeaScan.h"

namespace kx {

std::int32_t GpsKeyFromStamp(std::int64_t stampMs) {
    std::time_t seconds = static_cast<std::time_t>(stampMs / 1000);
    std::tm parts{};
    if (!gmtime_r(&seconds, &parts)) return 0;
    return (parts.tm_hour * 3600 + parts.tm_min * 60 + parts.tm_sec) * 100;
}

void GpsTextParser::Reset(std::optional<std::int32_t> startKey) {
    pendingRmc_.fill('\0');
    parked_ = false;
    referenceKey_ = startKey;
}

std::size_t GpsTextParser::ParseGpsText(std::string_view text) {
    std::array<char, kGpsLineCapacity> line{};
    std::size_t length = 0;
    std::size_t sinceLineEnd = 0;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            if (length > 0) ProcessLine(std::string_view(line.data(), length));
            length = 0;
            sinceLineEnd = 0;
            continue;
        }
        ++sinceLineEnd;
        if (length < kGpsLineCapacity - 1)
            line[length++] = c;
        else
            line[kGpsLineCapacity - 2] = c;
    }
    return sinceLineEnd;
}

void GpsTextParser::ProcessLine(std::string_view line) {
    line = line.substr(0, line.find('\0'));
    if (!rmcPending()) {
        if (line.find("$GPRMC") == std::string_view::npos) return;
        std::memcpy(pendingRmc_.data(), line.data(), line.size());
        pendingRmc_[line.size()] = '\0';
        return;
    }
    if (line.find("$GPGGA") == std::string_view::npos) return;
    ParsePair(std::string_view(pendingRmc_.data()), line);
    pendingRmc_.fill('\0');
}

void GpsTextParser::ParsePair(std::string_view rmc, std::string_view gga) {
    std::int64_t stamp = 0;
    int time = 0, fraction = 0, quality = 0, satellites = 0;
    char status = 0, latRef = 0, lonRef = 0;
    double latitude = 0, longitude = 0, speed = 0, hdop = 0;
    NmeaScan(rmc)
        .Literal("[")
        .Int64(stamp)
        .Literal("]$GPRMC,")
        .Int(time)
        .Literal(".")
        .Int(fraction)
        .Literal(",")
        .Char(status)
        .Literal(",")
        .Double(latitude)
        .Literal(",")
        .Char(latRef)
        .Literal(",")
        .Double(longitude)
        .Literal(",")
        .Char(lonRef)
        .Literal(",")
        .Double(speed);
    NmeaScan(gga)
        .Literal("[")
        .Int64(stamp)
        .Literal("]$GPGGA,")
        .Int(time)
        .Literal(".")
        .Int(fraction)
        .Literal(",")
        .Double(latitude)
        .Literal(",")
        .Char(latRef)
        .Literal(",")
        .Double(longitude)
        .Literal(",")
        .Char(lonRef)
        .Literal(",")
        .Int(quality)
        .Literal(",")
        .Int(satellites)
        .Literal(",")
        .Double(hdop);
    if (status == 'V' || (quality != 1 && quality != 2) || !(hdop < 3.5)) return;

    GPS_NODE fix;
    fix.time = UnwrapKey(GpsKeyFromStamp(stamp));
    fix.lat_ref = latRef;
    fix.lon_ref = lonRef;
    fix.latitude = latRef == 'S' ? -latitude : latitude;
    fix.longitude = lonRef == 'W' ? -longitude : longitude;
    fix.speed = speed;
    if (!track_.Append(fix)) return;
    if (status == 'P') parked_ = true;
}

// Keys restart at 0 after midnight while play positions keep growing past a day. Each key is
// therefore moved by whole days to the value nearest the previous fix (or, for the first fix,
// the recording's start key), so a recording that crosses midnight keeps a growing track.
std::int32_t GpsTextParser::UnwrapKey(std::int32_t timeOfDayKey) {
    std::int32_t key = timeOfDayKey;
    if (referenceKey_) {
        std::int64_t reference = *referenceKey_;
        std::int64_t candidate = timeOfDayKey;
        std::int64_t days = (reference - candidate) / kKeysPerDay;
        candidate += days * kKeysPerDay;
        if (candidate - reference > kKeysPerDay / 2) candidate -= kKeysPerDay;
        if (reference - candidate > kKeysPerDay / 2) candidate += kKeysPerDay;
        if (candidate >= INT32_MIN && candidate <= INT32_MAX)
            key = static_cast<std::int32_t>(candidate);
    }
    referenceKey_ = key;
    return key;
}

}  // namespace kx
