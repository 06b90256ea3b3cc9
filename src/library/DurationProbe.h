#pragma once
// A recording's length from its container header, without decoding: the MP4 movie header
// (`mvhd`) or the AVI main header (`avih`).
#include <cstdint>
#include <filesystem>

#include "library/FileEntry.h"

namespace kx {

// Longer MP4 durations are taken for damaged headers.
inline constexpr std::uint32_t kMaximumMp4Seconds = 185;
// Recordings up to this length cover one timeline minute.
inline constexpr int kOneMinuteSpanLimit = 62;
// Seconds past a whole minute that still count as that minute.
inline constexpr int kSpanSlackSeconds = 3;
inline constexpr int kMaximumSpanMinutes = 255;

// Seconds of an MP4 file from the `mvhd` of a `moov` among its first four boxes; 0 when the
// file cannot be read, lacks the boxes or gives more than 185 seconds. Below one second
// gives 1.
std::uint32_t ProbeMp4Seconds(const std::filesystem::path& file);

// Timeline minutes for a length: 1 up to 62 seconds, else whole minutes plus one when more
// than 3 seconds are left over.
int SpanMinutesForSeconds(std::uint32_t seconds);

// Probes the entry's file in the record folder and sets its duration and span minutes. A
// probe that fails leaves the duration 0 (probed again at the next need) and spans 1 minute.
std::uint32_t ProbeDuration(FileEntry& entry, const std::filesystem::path& recordFolder);

}  // namespace kx
