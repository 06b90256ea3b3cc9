#pragma once
// NMEA text with bracketed millisecond stamps ("[1500000000123]$GPRMC,..."), as the camera
// writes it to the .gps sidecar and to the MP4 "gps " box: RMC and GGA lines are paired, the
// pair is checked, and each accepted pair becomes a fix of the track.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "sensors/GpsTrack.h"

namespace kx {

// Room of one text line, terminator included: longer lines keep overwriting their last
// character.
inline constexpr std::size_t kGpsLineCapacity = 128;

class GpsTextParser {
  public:
    explicit GpsTextParser(GpsTrack& track) : track_(track) {}

    // Empties the pending RMC line and clears the parked flag. startKey, when known, is the
    // recording's start key: fixes after a midnight the recording crosses are then keyed on
    // from the day before (see UnwrapKey).
    void Reset(std::optional<std::int32_t> startKey = std::nullopt);

    // Parses the lines of text and appends the accepted fixes. Returns the number of bytes
    // after the last line end (the unfinished last line, which is not processed).
    std::size_t ParseGpsText(std::string_view text);

    // Set by an accepted pair whose RMC status is 'P'; stays set until Reset.
    bool parked() const { return parked_; }
    bool rmcPending() const { return pendingRmc_[0] != '\0'; }

  private:
    void ProcessLine(std::string_view line);
    void ParsePair(std::string_view rmc, std::string_view gga);
    std::int32_t UnwrapKey(std::int32_t timeOfDayKey);

    GpsTrack& track_;
    std::array<char, kGpsLineCapacity> pendingRmc_{};
    bool parked_ = false;
    std::optional<std::int32_t> referenceKey_;
};

// Time-of-day key of a bracketed stamp: stamp / 1000 seconds since 1970 split as UTC, hours,
// minutes and seconds as centiseconds; 0 when the stamp cannot be split.
std::int32_t GpsKeyFromStamp(std::int64_t stampMs);

}  // namespace kx
