#pragma once
// Sensor data built in the tests: NMEA pairs with bracketed stamps, 48-byte GPS records and
// 10-byte acceleration records.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kx::test {

struct NmeaFix {
    std::int64_t stampMs = 1500000000123;
    std::string time = "024000.00";  // NMEA hhmmss.ss
    char status = 'A';
    std::string latitude = "3733.1234";
    char latRef = 'N';
    std::string longitude = "12700.5000";
    char lonRef = 'E';
    std::string speed = "12.5";
    int quality = 1;
    std::string hdop = "0.9";
};

inline std::string RmcLine(const NmeaFix& fix) {
    char line[200];
    std::snprintf(line, sizeof line, "[%lld]$GPRMC,%s,%c,%s,%c,%s,%c,%s,54.7,191194,020.3,E*68",
                  static_cast<long long>(fix.stampMs), fix.time.c_str(), fix.status,
                  fix.latitude.c_str(), fix.latRef, fix.longitude.c_str(), fix.lonRef,
                  fix.speed.c_str());
    return line;
}

inline std::string GgaLine(const NmeaFix& fix) {
    char line[200];
    std::snprintf(line, sizeof line, "[%lld]$GPGGA,%s,%s,%c,%s,%c,%d,08,%s,545.4,M,46.9,M,,*47",
                  static_cast<long long>(fix.stampMs), fix.time.c_str(), fix.latitude.c_str(),
                  fix.latRef, fix.longitude.c_str(), fix.lonRef, fix.quality, fix.hdop.c_str());
    return line;
}

// An RMC line and its GGA partner, each ended by lineEnd.
inline std::string NmeaPair(const NmeaFix& fix, const std::string& lineEnd = "\r\n") {
    return RmcLine(fix) + lineEnd + GgaLine(fix) + lineEnd;
}

struct GpsRecordFields {
    std::uint16_t type = 1;
    std::uint16_t comma = 0x002C;
    std::uint64_t stampMs = 0;
    std::uint16_t latWhole = 3733, latFraction = 1234;
    char latRef = 'N';
    std::uint16_t lonWhole = 12700, lonFraction = 5000;
    char lonRef = 'E';
    std::uint16_t speedWhole = 12, speedFraction = 5;
    char quality = '1';
    char status = 'A';
};

inline void PutBe(std::vector<std::uint8_t>& out, std::size_t at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out[at + i] = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - i)));
}

inline std::vector<std::uint8_t> GpsRecord(const GpsRecordFields& f) {
    std::vector<std::uint8_t> record(48, 0);
    PutBe(record, 0, f.type, 2);
    PutBe(record, 2, f.comma, 2);
    PutBe(record, 4, f.stampMs, 8);
    PutBe(record, 20, f.latWhole, 2);
    PutBe(record, 22, f.latFraction, 2);
    record[24] = static_cast<std::uint8_t>(f.latRef);
    PutBe(record, 25, f.lonWhole, 2);
    PutBe(record, 27, f.lonFraction, 2);
    record[29] = static_cast<std::uint8_t>(f.lonRef);
    PutBe(record, 30, f.speedWhole, 2);
    PutBe(record, 32, f.speedFraction, 2);
    record[38] = static_cast<std::uint8_t>(f.quality);
    record[39] = static_cast<std::uint8_t>(f.status);
    return record;
}

inline std::vector<std::uint8_t> Rec3gfBytes(std::int32_t time, std::int16_t x, std::int16_t y,
                                             std::int16_t z) {
    std::vector<std::uint8_t> bytes(10);
    PutBe(bytes, 0, static_cast<std::uint32_t>(time), 4);
    PutBe(bytes, 4, static_cast<std::uint16_t>(x), 2);
    PutBe(bytes, 6, static_cast<std::uint16_t>(y), 2);
    PutBe(bytes, 8, static_cast<std::uint16_t>(z), 2);
    return bytes;
}

inline void Append(std::vector<std::uint8_t>& to, const std::vector<std::uint8_t>& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

}  // namespace kx::test
