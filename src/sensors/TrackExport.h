#pragma once
// A GPS track written for other mapping programs: GPX 1.1, KML 2.2 and CSV. Fix times are the
// local date and time of the recording's day (keys past a day fall on the next days).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sensors/GpsTrack.h"

namespace kx {

inline constexpr double kKilometresPerNauticalMile = 1.852;

struct TrackPoint {
    std::int32_t key = 0;
    double latitude = 0;   // decimal degrees
    double longitude = 0;  // decimal degrees
    double speedKnots = 0;
};

// The fixes of a track in time order (a stable sort by key), in decimal degrees.
std::vector<TrackPoint> TrackPoints(const GpsTrack& track);

// "yyyy-mm-ddThh:mm:ss[.cc]+hh:mm": the key as local time on the day yyyymmdd, with the
// offset of the process's time zone at that moment.
std::string LocalTimeText(int yyyymmdd, std::int32_t key);

// Points whose coordinates are not finite or out of range are left out of GPX and KML, so the
// documents stay valid; CSV keeps every point.
std::string TrackToGpx(const std::vector<TrackPoint>& points, int yyyymmdd, std::string_view name);
std::string TrackToKml(const std::vector<TrackPoint>& points, int yyyymmdd, std::string_view name);
std::string TrackToCsv(const std::vector<TrackPoint>& points, int yyyymmdd);

}  // namespace kx
