#pragma once
// The sensor data inside a recording, taken from the container readers for kxcard. Files are
// only read: a damaged recording is not repaired here (the player and "kxcard info" do).
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "sensors/SensorSource.h"

namespace kx::cli {

// Memory the spans of a SensorSource point into; lives as long as the source is used.
struct EmbeddedSensorStorage {
    std::vector<std::uint8_t> gpsBox;    // raw GPS buffer: "gps " text or "gps2" records
    std::vector<std::uint8_t> accelBox;  // "3gf " records when no "gps " text precedes them
    std::vector<std::vector<std::uint8_t>> aviChunks;
};

// MP4: the "gps ", "gps2" and "3gf " boxes and the "sttm" start time, with the later-layout
// rule (newFormat set: the GPS data is read as 48-byte records, else as NMEA text). A file the
// MP4 reader finds nothing in gives a source without embedded data, so the sidecars are used.
// AVI: the payloads of the "GPSR" and "SENS" stream chunks in index order (each cut to the
// player's sensor chunk capacity) and the front video's frame rate as the player takes it.
// Empty with a message in error when the AVI cannot be read or has no index.
std::optional<SensorSource> ReadEmbeddedSensors(const std::filesystem::path& recording, bool avi,
                                                EmbeddedSensorStorage& storage, std::string& error);

}  // namespace kx::cli
