#include "cli/SensorCommands.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>

#include "cli/Arguments.h"
#include "cli/EmbeddedSensors.h"
#include "cli/Json.h"
#include "sensors/GpsText.h"
#include "sensors/GpsTrack.h"
#include "sensors/Rec3GF.h"
#include "sensors/SensorFile.h"
#include "sensors/SensorSource.h"
#include "sensors/TrackExport.h"

namespace kx::cli {
namespace {

constexpr const char* kGpsUsage =
    "usage: kxcard gps FILE [--format json|gpx|kml|csv] | kxcard gps FILE --at MS";
constexpr const char* kAccelUsage = "usage: kxcard accel FILE";

// What the player reads from a recording's file name: its day and start time, whether it is a
// parking recording and the stem its sidecars are named after.
struct RecordingName {
    bool avi = false;
    int date = 0;  // yyyymmdd
    int time = 0;  // hhmmss
    bool parking = false;
    std::filesystem::path gpsSidecar;
    std::filesystem::path accelSidecar;
};

// Leading digits of a field as a number, 0 when there are none.
int LeadingNumber(std::string_view name, std::size_t at, std::size_t length) {
    if (at >= name.size()) return 0;
    std::string_view field = name.substr(at, length);
    int value = 0;
    std::from_chars(field.data(), field.data() + field.size(), value);
    return value;
}

std::optional<RecordingName> ParseRecordingName(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    RecordingName recording;
    if (extension == ".avi")
        recording.avi = true;
    else if (extension != ".mp4")
        return std::nullopt;
    std::string name = file.stem().string();
    std::size_t dateAt = recording.avi ? 10 : 0;
    recording.date = LeadingNumber(name, dateAt, 8);
    recording.time = LeadingNumber(name, dateAt + 9, 6);
    if (recording.date <= 0 || recording.time <= 0 || recording.date / 10000 < 1971)
        return std::nullopt;

    if (recording.avi) {
        recording.parking = !name.empty() && name.back() == 'P';
        return recording;
    }
    // Trailing letters: an optional S, the camera letter F, R or L, the kind letter before it.
    std::string stem = name;
    if (!stem.empty() && stem.back() == 'S') stem.pop_back();
    char kind = stem.empty() ? '\0' : stem.back();
    if (kind == 'F' || kind == 'R' || kind == 'L') {
        stem.pop_back();
        kind = stem.empty() ? '\0' : stem.back();
    }
    recording.parking = kind == 'P' || kind == 'I';
    std::filesystem::path folder = file.parent_path();
    recording.gpsSidecar = folder / (stem + ".gps");
    recording.accelSidecar = folder / (stem + ".3gf");
    return recording;
}

// The recording's sensor source: the embedded data when the readers give it, else an MP4
// without embedded data (its sidecars are used).
std::optional<SensorSource> SourceOf(const std::filesystem::path& file, const RecordingName& name,
                                     EmbeddedSensorStorage& storage) {
    std::optional<SensorSource> source = ReadEmbeddedSensors(file, name.avi, storage);
    if (source) return source;
    if (name.avi) return std::nullopt;
    std::fprintf(stderr,
                 "kxcard: warning: embedded sensor data of %s not read (no MP4 reader); "
                 "using the sidecars\n",
                 file.c_str());
    return SensorSource{};
}

struct OpenedRecording {
    std::filesystem::path file;
    RecordingName name;
    SensorSource source;
    EmbeddedSensorStorage storage;
};

// Checks FILE and gathers what the player would know when opening it; an exit status on error.
std::optional<int> OpenRecording(const std::string& path, OpenedRecording& opened) {
    opened.file = path;
    std::error_code error;
    if (!std::filesystem::is_regular_file(opened.file, error))
        return Failure("cannot open " + path);
    std::optional<RecordingName> name = ParseRecordingName(opened.file);
    if (!name) return Failure(path + " is not named like a recording (yyyymmdd_hhmmss...)");
    opened.name = *name;
    std::optional<SensorSource> source = SourceOf(opened.file, opened.name, opened.storage);
    if (!source)
        return Failure("the sensor streams of " + path + " cannot be read (no AVI reader)");
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
    std::int32_t startKey = GpsStartKey(opened.name.time);
    SensorRecording recording{opened.name.parking, startKey, opened.name.gpsSidecar,
                              opened.name.accelSidecar};
    LoadGpsTrack(track, parser, opened.source, recording, rawGpsBuffer);

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
    SensorRecording recording{opened.name.parking, GpsStartKey(opened.name.time),
                              opened.name.gpsSidecar, opened.name.accelSidecar};
    AccelBlock block = LoadAccel(opened.source, recording, accelBuffer);
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
