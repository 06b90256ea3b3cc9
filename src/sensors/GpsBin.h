#pragma once
// The 48-byte big-endian GPS records of later-layout MP4 files ("gps2" box).
#include <cstddef>
#include <cstdint>
#include <span>

#include "sensors/GpsTrack.h"

namespace kx {

inline constexpr std::size_t kGpsRecordSize = 48;

// Appends a fix for every accepted whole record of data; a partial last record is dropped.
// startMs is the recording's start time in the records' clock, startKey its start key. Returns
// the number of fixes appended. A record with status 'P' does not mark the recording parked.
std::size_t ParseGpsBin(GpsTrack& track, std::span<const std::uint8_t> data, std::uint64_t startMs,
                        std::int32_t startKey);

}  // namespace kx
