#pragma once
// Sensor data of demo recordings: NMEA text with millisecond stamps, 48-byte GPS records of the
// later layout, and 10-byte acceleration records, along a plausible drive.
#include <cstdint>
#include <string>

namespace kx::demo {

struct DriveSpec {
    std::int64_t startMs = 0;  // camera clock (local wall time counted as UTC), ms
    int seconds = 10;
    double startLatitude = 35.6812;    // degrees, north
    double startLongitude = 139.7671;  // degrees, east
    double speedKnots = 21.6;
    double headingDegrees = 40;
    bool parked = false;  // RMC status P, speed 0
};

// "[ms]$GPRMC,..." and "[ms]$GPGGA,..." lines, one pair a second.
std::string NmeaText(const DriveSpec& drive);
// The later layout's 48-byte GPS records, one a second.
std::string GpsRecords(const DriveSpec& drive);
// Acceleration records every 100 ms; with a shock at shockMs (negative: none).
std::string AccelerationRecords(int seconds, std::int64_t shockMs);

}  // namespace kx::demo
