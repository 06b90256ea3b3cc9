#include "cli/SensorCommands.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "cli/Arguments.h"
#include "cli/EmbeddedSensors.h"
#include "cli/Json.h"
#include "library/RecordingName.h"
#include "sensors/GpsText.h"
#include "sensors/GpsTrack.h"
#include "sensors/Rec3GF.h"
#include "sensors/SensorFile.h"
#include "sensors/SensorRecordingName.h"
#include "sensors/SensorSource.h"
#include "sensors/TrackExport.h"

namespace kx::cli {
namespace {

constexpr const char* kGpsUsage =
    "usage: kxcard gps FILE [--format json|gpx|kml|csv] | kxcard gps FILE --at MS";
constexpr const char* kAccelUsage = "usage: kxcard accel FILE";

struct OpenedRecording {
    std::filesystem::path file;
    NamedRecording name;
    SensorRecording recording;
    SensorSource source;
    EmbeddedSensorStorage storage;
};

// Checks FILE and gathers what the player would know when opening it: its name, and the
// sensor data embedded in it (an MP4 without any uses its sidecars). An exit status on error.
std::optional<int> OpenRecording(const std::string& path, OpenedRecording& opened) {
    opened.file = path;
    std::error_code error;
    if (!std::filesystem::is_regular_file(opened.file, error))
        return Failure("cannot open " + path);
    std::optional<NamedRecording> name = NameRecording(opened.file);
    if (!name) return Failure(path + " is not named like a recording (yyyymmdd_hhmmss...)");
    opened.name = *name;
    opened.recording = SensorRecordingOf(opened.name);
    std::string reason;
    std::optional<SensorSource> source =
        ReadEmbeddedSensors(opened.file, opened.name.scheme == kSchemeAvi, opened.storage, reason);
    if (!source) return Failure(reason);
    opened.source = std::move(*source);
    return std::nullopt;
}

std::string FixJson(const GPS_NODE& fix) {
    GpsDegrees degrees = GpsToDegree(fix);
    return JsonObject()
        .Add("key", std::int64_t{fix.time})
        .Add("lat", degrees.latitude)
        .Add("lon", degrees.longitude)
        .Add("speed", fix.speed)
        .Add("latNmea", fix.latitude)
        .Add("lonNmea", fix.longitude)
        .str();
}

std::optional<std::int64_t> ParsePosition(const std::string& text) {
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

}  // namespace

int RunGps(const std::vector<std::string>& words) {
    Arguments arguments(words, {"--format", "--at"});
    if (!arguments.ok()) return UsageError(arguments.error() + "\n" + kGpsUsage);
    if (arguments.positional().size() != 1) return UsageError(kGpsUsage);
    std::string format = arguments.Option("--format").value_or("json");
    if (format != "json" && format != "gpx" && format != "kml" && format != "csv")
        return UsageError("unknown format " + format + "\n" + kGpsUsage);
    std::optional<std::int64_t> at;
    if (auto position = arguments.Option("--at")) {
        at = ParsePosition(*position);
        if (!at)
            return UsageError("--at needs a play position in milliseconds\n" +
                              std::string(kGpsUsage));
        if (format != "json") return UsageError("--at prints json only\n" + std::string(kGpsUsage));
    }

    OpenedRecording opened;
    if (std::optional<int> status = OpenRecording(arguments.positional()[0], opened))
        return *status;

    GpsTrack track;
    GpsTextParser parser(track);
    std::vector<std::uint8_t> rawGpsBuffer(kRawGpsBufferSize);
    const std::int32_t startKey = opened.recording.startKey;
    LoadGpsTrack(track, parser, opened.source, opened.recording, rawGpsBuffer);

    if (at) {
        const GPS_NODE* fix = track.FindGps(GpsKeyForPosition(*at, startKey));
        std::printf("%s\n", fix ? FixJson(*fix).c_str() : "{\"fix\":null}");
        return 0;
    }
    std::vector<TrackPoint> points = TrackPoints(track);
    std::string name = opened.file.stem().string();
    std::string out;
    if (format == "gpx") {
        out = TrackToGpx(points, opened.name.date, name);
    } else if (format == "kml") {
        out = TrackToKml(points, opened.name.date, name);
    } else if (format == "csv") {
        out = TrackToCsv(points, opened.name.date);
    } else {
        std::vector<const GPS_NODE*> fixes;
        for (const GPS_NODE* fix = track.head(); fix; fix = fix->next) fixes.push_back(fix);
        std::stable_sort(fixes.begin(), fixes.end(),
                         [](const GPS_NODE* a, const GPS_NODE* b) { return a->time < b->time; });
        for (const GPS_NODE* fix : fixes) out += FixJson(*fix) + "\n";
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : Failure("cannot write the output");
}

int RunAccel(const std::vector<std::string>& words) {
    Arguments arguments(words, {});
    if (!arguments.ok()) return UsageError(arguments.error() + "\n" + kAccelUsage);
    if (arguments.positional().size() != 1) return UsageError(kAccelUsage);
    OpenedRecording opened;
    if (std::optional<int> status = OpenRecording(arguments.positional()[0], opened))
        return *status;

    std::vector<std::uint8_t> accelBuffer(kAccelBufferSize);
    AccelBlock block = LoadAccel(opened.source, opened.recording, accelBuffer);
    if (block.length < 0) return 0;
    for (const Rec3GF& record : ReadRecords3GF(block.data)) {
        std::printf("%s\n", JsonObject()
                                .Add("t", std::int64_t{record.time})
                                .Add("x", int{record.x})
                                .Add("y", int{record.y})
                                .Add("z", int{record.z})
                                .str()
                                .c_str());
    }
    return std::fflush(stdout) == 0 ? 0 : Failure("cannot write the output");
}

}  // namespace kx::cli
