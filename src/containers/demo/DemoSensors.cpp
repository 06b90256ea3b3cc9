#include "containers/demo/DemoSensors.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "containers/ByteOrder.h"

namespace kx::demo {
namespace {

constexpr double kMetresPerDegree = 111320.0;
constexpr double kMetresPerSecondPerKnot = 0.514444;
constexpr int kAccelerationStepMs = 100;
constexpr int kOneG = 128;  // a reading of 1 g as stored (reading × 128)
constexpr int kAxisLimit = 250;

struct Fix {
    double latitude, longitude;  // degrees
};

Fix Position(const DriveSpec& drive, int second) {
    double metres = drive.parked ? 0 : drive.speedKnots * kMetresPerSecondPerKnot * second;
    double heading = drive.headingDegrees * M_PI / 180;
    // A gentle curve: the heading turns a little every second.
    heading += 0.004 * second;
    double lat = drive.startLatitude + metres * std::cos(heading) / kMetresPerDegree;
    double lon = drive.startLongitude +
                 metres * std::sin(heading) / (kMetresPerDegree * std::cos(lat * M_PI / 180));
    return {lat, lon};
}

// NMEA ddmm.mmmm form.
double NmeaDegrees(double degrees) {
    double whole = std::floor(degrees);
    return whole * 100 + (degrees - whole) * 60;
}

std::string UtcTime(std::int64_t ms) {
    std::time_t seconds = std::time_t(ms / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%02d.%02d", utc.tm_hour, utc.tm_min, utc.tm_sec,
                  int(ms % 1000) / 10);
    return text;
}

}  // namespace

std::string NmeaText(const DriveSpec& drive) {
    std::string text;
    char line[160];
    for (int s = 0; s < drive.seconds; ++s) {
        std::int64_t ms = drive.startMs + s * 1000;
        Fix fix = Position(drive, s);
        std::string time = UtcTime(ms);
        double speed = drive.parked ? 0 : drive.speedKnots;
        std::snprintf(line, sizeof line, "[%lld]$GPRMC,%s,%c,%.4f,N,%.4f,E,%.2f,%.1f,,,A\r\n",
                      (long long)ms, time.c_str(), drive.parked ? 'P' : 'A',
                      NmeaDegrees(fix.latitude), NmeaDegrees(fix.longitude), speed,
                      drive.headingDegrees);
        text += line;
        std::snprintf(line, sizeof line,
                      "[%lld]$GPGGA,%s,%.4f,N,%.4f,E,1,08,0.9,35.0,M,39.0,M,,\r\n", (long long)ms,
                      time.c_str(), NmeaDegrees(fix.latitude), NmeaDegrees(fix.longitude));
        text += line;
    }
    return text;
}

std::string GpsRecords(const DriveSpec& drive) {
    ByteWriter out;
    for (int s = 0; s < drive.seconds; ++s) {
        Fix fix = Position(drive, s);
        double lat = NmeaDegrees(fix.latitude), lon = NmeaDegrees(fix.longitude);
        double speed = drive.parked ? 0 : drive.speedKnots;
        out.U16(1);
        out.U16(0x002C);
        out.U64(std::uint64_t(drive.startMs + s * 1000));
        out.Zeros(8);
        out.U16(std::uint32_t(lat));
        out.U16(std::uint32_t(std::lround((lat - std::floor(lat)) * 10000)) % 10000);
        out.U8('N');
        out.U16(std::uint32_t(lon));
        out.U16(std::uint32_t(std::lround((lon - std::floor(lon)) * 10000)) % 10000);
        out.U8('E');
        out.U16(std::uint32_t(speed));
        out.U16(std::uint32_t(std::lround((speed - std::floor(speed)) * 10)) % 10);
        out.Zeros(4);
        out.U8('1');
        out.U8(drive.parked ? 'P' : 'A');
        out.U16(0);
        out.U16(9);
        out.Zeros(4);
    }
    return out.str();
}

std::string AccelerationRecords(int seconds, std::int64_t shockMs) {
    ByteWriter out;
    for (int ms = 0; ms < seconds * 1000; ms += kAccelerationStepMs) {
        // Road vibration around 1 g downwards; a shock of a few g when given.
        double x = 6 * std::sin(ms / 370.0), y = 5 * std::cos(ms / 530.0);
        double z = kOneG + 8 * std::sin(ms / 210.0);
        if (shockMs >= 0 && ms >= shockMs && ms < shockMs + 500) {
            double fade = 1.0 - double(ms - shockMs) / 500;
            x += 300 * fade;
            y -= 180 * fade;
            z += 120 * fade;
        }
        auto axis = [](double v) {
            return std::uint32_t(std::uint16_t(
                std::int16_t(std::lround(std::fmax(-kAxisLimit, std::fmin(kAxisLimit, v))))));
        };
        out.U32(std::uint32_t(ms));
        out.U16(axis(x));
        out.U16(axis(y));
        out.U16(axis(z));
    }
    return out.str();
}

}  // namespace kx::demo
