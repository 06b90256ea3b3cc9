#include "sensors/SensorSource.h"

#include <string_view>

#include "sensors/AccelAvi.h"
#include "sensors/GpsAvi.h"
#include "sensors/GpsBin.h"
#include "sensors/SensorFile.h"

namespace kx {
namespace {

std::string_view AsText(ByteSpan bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace

GpsLoadResult LoadGpsTrack(GpsTrack& track, GpsTextParser& parser, const SensorSource& source,
                           const SensorRecording& recording, std::span<std::uint8_t> rawGpsBuffer) {
    track.ClearGps();
    parser.Reset(recording.startKey);
    GpsLoadResult result;
    if (recording.parking) return result;

    if (source.avi) {
        AviGpsSentenceList list(rawGpsBuffer);
        for (ByteSpan chunk : source.gpsChunks) list.AddChunk(chunk);
        if (list.empty()) return result;
        result.origin = SensorOrigin::AviStreams;
        ParseGpsAvi(track, rawGpsBuffer.first(list.size()), recording.startKey);
    } else if (source.HasEmbeddedMp4Data()) {
        result.origin = SensorOrigin::Embedded;
        if (source.gpsRecords)
            ParseGpsBin(track, *source.gpsRecords, source.startMs, recording.startKey);
        else if (source.gpsText)
            parser.ParseGpsText(AsText(*source.gpsText));
    } else {
        std::optional<std::size_t> length = SetData(recording.gpsSidecar, rawGpsBuffer);
        if (!length) return result;
        result.origin = SensorOrigin::Sidecar;
        parser.ParseGpsText(AsText(ByteSpan(rawGpsBuffer.data(), *length)));
    }
    result.fixes = track.size();
    result.parked = parser.parked();
    return result;
}

AccelBlock LoadAccel(const SensorSource& source, const SensorRecording& recording,
                     std::span<std::uint8_t> accelBuffer) {
    AccelBlock block;
    if (source.avi) {
        AviAccelConverter converter(accelBuffer, source.frameRate);
        for (ByteSpan chunk : source.accelChunks)
            if (!converter.AddChunk(chunk)) break;
        block.origin = SensorOrigin::AviStreams;
        block.data = ByteSpan(accelBuffer.data(), converter.size());
        block.length = static_cast<std::int64_t>(converter.size());
        return block;
    }
    if (source.HasEmbeddedMp4Data()) {
        block.origin = SensorOrigin::Embedded;
        if (source.accelRecords) {
            block.data = *source.accelRecords;
            block.length = static_cast<std::int64_t>(block.data.size());
        }
        return block;
    }
    std::optional<std::size_t> length = SetData(recording.accelSidecar, accelBuffer);
    if (!length) return block;
    block.origin = SensorOrigin::Sidecar;
    block.data = ByteSpan(accelBuffer.data(), *length);
    block.length = static_cast<std::int64_t>(*length);
    return block;
}

}  // namespace kx
