#include "sensors/GpsBin.h"

#include <cstdio>
#include <cstdlib>

#include "containers/ByteOrder.h"

namespace kx {
namespace {

// The decimal number written as "<whole>.<fraction>" with the given fraction format, read back:
// fraction digits are taken as they are written ("%u" gives 12.5 for 5, "%04u" 12.0005).
double DecimalFromParts(unsigned whole, unsigned fraction, const char* format) {
    char text[32];
    std::snprintf(text, sizeof text, format, whole, fraction);
    return std::strtod(text, nullptr);
}

}  // namespace

std::size_t ParseGpsBin(GpsTrack& track, std::span<const std::uint8_t> data, std::uint64_t startMs,
                        std::int32_t startKey) {
    std::size_t appended = 0;
    for (std::size_t at = 0; data.size() - at >= kGpsRecordSize; at += kGpsRecordSize) {
        const std::uint8_t* record = data.data() + at;
        std::uint16_t type = GetU16(record);
        std::uint16_t comma = GetU16(record + 2);
        std::uint64_t stamp = GetU64(record + 4);
        char quality = static_cast<char>(record[38]);
        char status = static_cast<char>(record[39]);
        if (type != 1 || comma != 0x002C || stamp == 0) continue;
        if (quality != '1' && quality != '2') continue;
        if (status != 'P' && status != 'A') continue;

        GPS_NODE fix;
        fix.lat_ref = static_cast<char>(record[24]);
        fix.lon_ref = static_cast<char>(record[29]);
        fix.latitude = DecimalFromParts(GetU16(record + 20), GetU16(record + 22), "%u.%04u");
        fix.longitude = DecimalFromParts(GetU16(record + 25), GetU16(record + 27), "%u.%04u");
        fix.speed = DecimalFromParts(GetU16(record + 30), GetU16(record + 32), "%u.%u");
        if (fix.lat_ref == 'S') fix.latitude = -fix.latitude;
        if (fix.lon_ref == 'W') fix.longitude = -fix.longitude;
        // A signed difference: a fix stamped just before the start time gets a key just before
        // the start key instead of one wrapped around 2^64.
        std::int64_t sinceStart = static_cast<std::int64_t>(stamp - startMs);
        std::uint32_t offset = static_cast<std::uint32_t>(sinceStart / 10);
        fix.time = static_cast<std::int32_t>(offset + static_cast<std::uint32_t>(startKey));
        if (track.Append(fix)) ++appended;
    }
    return appended;
}

}  // namespace kx
