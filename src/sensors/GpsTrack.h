#pragma once
// The GPS track of one recording: fixes keyed by centiseconds since midnight of the recording's
// day, appended in the order they were accepted, and the lookup of the fix for a play position.
#include <cstdint>
#include <deque>

namespace kx {

// Centiseconds in one day: the step by which keys of fixes after midnight are carried on.
inline constexpr std::int32_t kKeysPerDay = 24 * 60 * 60 * 100;

// One fix. Latitude and longitude are in NMEA form (ddmm.mmmm / dddmm.mmmm), negated for 'S'
// and 'W'; speed is in knots. next links the fixes in track order (owned by the track).
struct GPS_NODE {
    std::int32_t time = 0;
    char lat_ref = 0;
    std::uint8_t reserved1 = 0;
    char lon_ref = 0;
    std::uint8_t reserved2 = 0;
    double latitude = 0;
    double longitude = 0;
    double speed = 0;
    const GPS_NODE* next = nullptr;
};

// Latitude and longitude in decimal degrees.
struct GpsDegrees {
    double latitude = 0;
    double longitude = 0;
};

// The time key of a play position: milliseconds from the recording's start plus its start key.
std::int32_t GpsKeyForPosition(std::int64_t positionMs, std::int32_t startKey);

// The start key of a recording from its hhmmss start time.
std::int32_t GpsStartKey(int hhmmss);

class GpsTrack {
  public:
    GpsTrack() = default;
    GpsTrack(const GpsTrack&) = delete;
    GpsTrack& operator=(const GpsTrack&) = delete;

    // Frees every fix; head, tail and cursor become none.
    void ClearGps();

    // Appends a copy of fix at the tail (its next link is ignored). Returns false when the fix
    // could not be stored; the track is then unchanged.
    bool Append(const GPS_NODE& fix);

    // The last fix whose key is not greater than key, or null before the first fix and after
    // the last fix's key. Forward playback costs one step per call.
    const GPS_NODE* FindGps(std::int32_t key);

    const GPS_NODE* head() const { return nodes_.empty() ? nullptr : &nodes_.front(); }
    const GPS_NODE* tail() const { return nodes_.empty() ? nullptr : &nodes_.back(); }
    std::size_t size() const { return nodes_.size(); }
    bool empty() const { return nodes_.empty(); }

  private:
    // A deque keeps node addresses stable while appending, so next links stay valid.
    std::deque<GPS_NODE> nodes_;
    const GPS_NODE* cursor_ = nullptr;
};

// Degrees of a value in NMEA form: d = truncated value / 100, degrees = d + (v - 100 d) / 60.
double NmeaToDegree(double nmea);
GpsDegrees GpsToDegree(const GPS_NODE& fix);

}  // namespace kx
