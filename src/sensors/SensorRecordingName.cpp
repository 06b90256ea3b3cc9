#include "sensors/SensorRecordingName.h"

#include <string>

#include "library/RecordingName.h"
#include "sensors/GpsTrack.h"

namespace kx {
namespace {

// The event letter of a recording started by a shock while the camera was parked.
constexpr char kParkedEventLetter = 'I';
// An AVI name ending in this letter was recorded in parking mode, event or not.
constexpr char kAviParkingLast = 'P';

// The kind letter of a scheme-0 name: the one before the camera letter F, R or L, or the last
// letter (before a trailing S) when there is no camera letter.
char Mp4KindLetter(std::string_view name) {
    std::optional<std::size_t> index = CameraLetterIndex(name);
    if (!index) return '\0';
    char camera = name[*index];
    if (camera != 'F' && camera != 'R' && camera != 'L') return camera;
    return *index > 0 ? name[*index - 1] : '\0';
}

}  // namespace

bool IsParkingRecording(std::string_view name, int scheme) {
    std::optional<ParsedName> parsed = ParseRecordingName(name, scheme);
    if (!parsed) return false;
    if (BaseKind(parsed->kindCode) == kKindParking) return true;
    if (scheme == kSchemeAvi) return !name.empty() && name.back() == kAviParkingLast;
    return Mp4KindLetter(name) == kParkedEventLetter;
}

std::optional<NamedRecording> NameRecording(const std::filesystem::path& file) {
    int scheme = SchemeOfFileName(file.filename().string());
    if (scheme < 0) return std::nullopt;
    std::string name = file.stem().string();
    std::optional<ParsedName> parsed = ParseRecordingName(name, scheme);
    if (!parsed) return std::nullopt;
    NamedRecording recording;
    recording.scheme = scheme;
    recording.date = parsed->date;
    recording.time = parsed->time;
    recording.kindCode = parsed->kindCode;
    recording.parking = IsParkingRecording(name, scheme);
    if (scheme == kSchemeMp4) {
        std::string stem = SidecarStem(name);
        recording.gpsSidecar = file.parent_path() / (stem + ".gps");
        recording.accelSidecar = file.parent_path() / (stem + ".3gf");
    }
    return recording;
}

SensorRecording SensorRecordingOf(const NamedRecording& recording) {
    return {recording.parking, GpsStartKey(recording.time), recording.gpsSidecar,
            recording.accelSidecar};
}

}  // namespace kx
