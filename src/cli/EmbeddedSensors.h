#pragma once
// The sensor data inside a recording, taken from the container readers for kxcard.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "sensors/SensorSource.h"

namespace kx::cli {

// Memory the spans of a SensorSource point into; lives as long as the source is used.
struct EmbeddedSensorStorage {
    std::vector<std::uint8_t> gpsBox;
    std::vector<std::uint8_t> accelBox;
    std::vector<std::vector<std::uint8_t>> aviChunks;
};

// The embedded GPS and acceleration data of an MP4 (its "gps ", "gps2", "3gf " and "sttm"
// boxes) or an AVI (its "GPSR" and "SENS" stream chunks and front frame rate). Returns nothing
// while no container reader is connected, or when the file cannot be read by it.
//
// TO CONNECT: fill this from the MP4 reader (ValidMP4 with gpsBuffer/accBuffer set; gpsText =
// the text when gpsLength is known and newFormat is clear, gpsRecords = gpsLength bytes when
// newFormat is set, accelRecords = accLength bytes when accLength is known, startMs = sttm)
// and from the AVI reader (the index walk's GPSR and SENS chunks in stream order, the front
// frame rate capped at 30). Until then kxcard reads MP4 sensor data from the sidecars only.
std::optional<SensorSource> ReadEmbeddedSensors(const std::filesystem::path& recording, bool avi,
                                                EmbeddedSensorStorage& storage);

}  // namespace kx::cli
