#pragma once
// Acceleration records: 10 bytes, big-endian, time in ms from the recording's start and three
// axes as reading x 128. Every reader clamps the axes to -250 ... 250.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kx {

inline constexpr std::size_t kRec3GFSize = 10;
inline constexpr std::int16_t kAxisLimit = 250;
// Ten 0xFF bytes end the records inside an MP4 "3gf " box.
inline constexpr std::size_t kAccelEndMarkerSize = 10;

struct Rec3GF {
    std::int32_t time = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::int16_t z = 0;
};

std::int16_t ClampAxis(std::int16_t value);

// The record at the start of bytes (at least kRec3GFSize of them), axes clamped.
Rec3GF ReadRec3GF(std::span<const std::uint8_t, kRec3GFSize> bytes);
void WriteRec3GF(const Rec3GF& record, std::span<std::uint8_t, kRec3GFSize> bytes);

// All whole records of a block, axes clamped; a partial last record is dropped.
std::vector<Rec3GF> ReadRecords3GF(std::span<const std::uint8_t> block);

// Offset of the first run of ten 0xFF bytes in the data of a "3gf " box, searched byte by
// byte; -1 when there is none.
std::int64_t FindAccelEndMarker(std::span<const std::uint8_t> boxData);

}  // namespace kx
