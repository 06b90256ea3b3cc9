#pragma once
// Where a recording's GPS track and acceleration records come from: the data embedded in the
// recording when there is any, else the sidecars beside it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "sensors/GpsText.h"
#include "sensors/GpsTrack.h"

namespace kx {

using ByteSpan = std::span<const std::uint8_t>;

// What the container reader found of the sensor data inside a recording. The spans point into
// memory the reader owns and must stay valid while the source is used.
struct SensorSource {
    bool avi = false;

    // MP4: an absent member is a length the reader did not find.
    std::optional<ByteSpan> gpsText;       // "gps " box: the NMEA text before its first NUL
    std::optional<ByteSpan> gpsRecords;    // "gps2" box: 48-byte records (box size bytes)
    std::optional<ByteSpan> accelRecords;  // "3gf " box: the records before the 0xFF end marker
    std::uint64_t startMs = 0;             // start time of the "sttm" box

    // AVI: the chunks of the "GPSR" and "SENS" streams in stream order, and the front video's
    // frame rate (capped at 30 by the player).
    std::vector<ByteSpan> gpsChunks;
    std::vector<ByteSpan> accelChunks;
    int frameRate = 0;

    bool HasEmbeddedMp4Data() const { return gpsText || gpsRecords || accelRecords; }
};

// The recording being opened, as the player knows it from its name.
struct SensorRecording {
    bool parking = false;                // parking kinds get no GPS track
    std::int32_t startKey = 0;           // start key from the name's start time
    std::filesystem::path gpsSidecar;    // stem + ".gps"
    std::filesystem::path accelSidecar;  // stem + ".3gf"
};

enum class SensorOrigin { None, Embedded, Sidecar, AviStreams };

struct GpsLoadResult {
    SensorOrigin origin = SensorOrigin::None;
    std::size_t fixes = 0;
    bool parked = false;  // an accepted text fix had RMC status 'P'
};

// Clears the track and fills it for a recording being opened: nothing for parking kinds; MP4
// with embedded GPS or acceleration data: the "gps2" records, else the "gps " text; MP4
// without either: the .gps sidecar read into rawGpsBuffer. AVI: the GPS chunks are packed
// into the sentence list in rawGpsBuffer and parsed, as the player does when playback starts.
GpsLoadResult LoadGpsTrack(GpsTrack& track, GpsTextParser& parser, const SensorSource& source,
                           const SensorRecording& recording, std::span<std::uint8_t> rawGpsBuffer);

// The delivered acceleration block: the records and their length in bytes; length -1 when
// embedded data is used but holds no known acceleration length (consumers process no record).
struct AccelBlock {
    SensorOrigin origin = SensorOrigin::None;
    ByteSpan data;
    std::int64_t length = -1;
};

// MP4 with embedded GPS or acceleration data: the "3gf " records (length -1 without them).
// MP4 with neither: the .3gf sidecar in accelBuffer, for every kind of recording. AVI: the
// G-sensor chunks converted into accelBuffer.
AccelBlock LoadAccel(const SensorSource& source, const SensorRecording& recording,
                     std::span<std::uint8_t> accelBuffer);

}  // namespace kx
