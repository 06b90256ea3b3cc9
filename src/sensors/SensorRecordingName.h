#pragma once
// What the player reads from a recording's file name before it loads the sensor data: the
// scheme, day and start time, whether it is a parking recording (no GPS track) and the
// sidecars beside it. The name itself is parsed by the recordings library, so the list, the
// timeline and the sensor data agree on kinds.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include "sensors/SensorSource.h"

namespace kx {

struct NamedRecording {
    int scheme = 0;         // kSchemeMp4 or kSchemeAvi
    std::int32_t date = 0;  // yyyymmdd
    std::int32_t time = 0;  // hhmmss
    std::uint8_t kindCode = 0;
    bool parking = false;
    std::filesystem::path gpsSidecar;    // stem + ".gps" (MP4 only; AVI carries its streams)
    std::filesystem::path accelSidecar;  // stem + ".3gf" (MP4 only)
};

// The recording named by file (an .mp4 or .avi in any letter case); empty when the extension
// is neither or the library rejects the name (no date or time, or a year before 1971).
std::optional<NamedRecording> NameRecording(const std::filesystem::path& file);

// Recordings made in parking mode: the parking kinds of the name (P and T before the camera
// letter of an MP4; an AVI name ending in P) and the events recorded while parked (I before
// the camera letter of an MP4; an event AVI whose name ends in P, which the list shows as I).
// name is the file name without its extension.
bool IsParkingRecording(std::string_view name, int scheme);

// The player's view of the recording for loading its sensor data.
SensorRecording SensorRecordingOf(const NamedRecording& recording);

}  // namespace kx
