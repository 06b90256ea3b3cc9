#include "containers/demo/DemoCard.h"

#include <ctime>
#include <fstream>

#include "camera/CredentialProtection.h"
#include "containers/demo/AviDemo.h"
#include "containers/demo/DemoEncoder.h"
#include "containers/demo/DemoRecording.h"
#include "containers/demo/DemoSensors.h"

namespace kx::demo {
namespace {

constexpr int kAudioSampleRate = 16000;
constexpr int kKeyFrameSeconds = 1;

enum class Sensors { kNone, kSidecar, kEmbedded, kLaterLayout };

struct Planned {
    const char* stamp;  // yyyymmdd_hhmmss of the name
    char kind;          // N normal, E event, P parking, M manual
    bool rear;
    Sensors sensors;
    bool cutShort;  // the front file loses its moov and its last record
};

// Two days of driving, every kind, every way the sensor data travels.
constexpr Planned kPlan[] = {
    {"20261209_081500", 'N', true, Sensors::kSidecar, false},
    {"20261209_081700", 'N', true, Sensors::kEmbedded, false},
    {"20261209_081900", 'E', true, Sensors::kSidecar, false},
    {"20261209_123000", 'P', true, Sensors::kSidecar, false},
    {"20261209_174500", 'M', true, Sensors::kEmbedded, false},
    {"20261210_073000", 'N', true, Sensors::kSidecar, false},
    {"20261210_073200", 'E', true, Sensors::kEmbedded, false},
    {"20261210_073400", 'N', false, Sensors::kLaterLayout, false},
    {"20261210_073600", 'N', true, Sensors::kSidecar, true},
    {"20261210_201500", 'P', true, Sensors::kEmbedded, false},
};

// The camera clock: the wall time of the name, counted as if it were UTC.
std::int64_t StampSeconds(const std::string& stamp) {
    std::tm tm{};
    tm.tm_year = std::stoi(stamp.substr(0, 4)) - 1900;
    tm.tm_mon = std::stoi(stamp.substr(4, 2)) - 1;
    tm.tm_mday = std::stoi(stamp.substr(6, 2));
    tm.tm_hour = std::stoi(stamp.substr(9, 2));
    tm.tm_min = std::stoi(stamp.substr(11, 2));
    tm.tm_sec = std::stoi(stamp.substr(13, 2));
    return std::int64_t(timegm(&tm));
}

bool WriteText(const std::filesystem::path& path, const std::string& text, CardResult& result) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        result.error = "cannot write " + path.string();
        return false;
    }
    result.files.push_back(path);
    return true;
}

constexpr char kVersionFile[] =
    "[firmware]\r\nversion=1.002\r\nmodel=VO KX-TMQ4A\r\nlanguage=English\r\nopt=\r\n"
    "[local]\r\nregion=0\r\noption=\r\n";

constexpr char kConfigFile[] =
    "[Tab1]\r\nTimeZone=900\r\nTimeSet=1\r\nSetTime=202612090800\r\nDaylight=0\r\n"
    "GpsSync=1\r\nImageSetting=0\r\nVideoQuality=0\r\nNightVision=0\r\nFrontBrightness=2\r\n"
    "RearBrightness=2\r\nRecordTime=1\r\nLockEvent=1\r\nOverwriteLock=0\r\nNormalRecord=1\r\n"
    "VoiceRecord=1\r\nDateDisplay=1\r\nSpeedUnit=0\r\nAutoParking=1\r\nRearRotate=0\r\n"
    "FrontRotate=0\r\n"
    "[Tab2]\r\nNORMALSENSOR1=5\r\nNORMALSENSOR2=5\r\nNORMALSENSOR3=5\r\nPARKINGSENSOR1=3\r\n"
    "PARKINGSENSOR2=3\r\nPARKINGSENSOR3=3\r\nMOTIONSENSOR=2\r\n"
    "[Tab3]\r\nRECLED=1\r\nNORMALLED=1\r\nPARKINGLED=1\r\nSTARTVOICE=1\r\nNORMALSTARTVOICE=1\r\n"
    "EVENTSTARTVOICE=1\r\nCHANGERECORDMODEVOICE=1\r\nENDVOICE=1\r\nPARKINGEVENTVOICE=1\r\n"
    "SPEEDALERTVOICE=0\r\nVOLUME=3\r\nSpeedAlert=2\r\nkmLimit=100\r\nmileLimit=60\r\n"
    "ScheduledReboot=0\r\nScheduledRebootTime=4\r\nuserString=DEMO CARD\r\nRearLED=1\r\n"
    "[Wifi]\r\nap_ssid=KX-TMQ4-DEMO\r\nap_pw=%s\r\nWifiSleepMode=1\r\n";

// The demo access point's password, stored protected with the build's key as the camera does.
constexpr std::string_view kDemoPassword = "demo1234";

}  // namespace

CardResult MakeDemoCard(const std::filesystem::path& root, const CardOptions& options) {
    CardResult result;
    const auto record = root / "KX-TMQ4" / "Record";
    const auto config = root / "KX-TMQ4" / "Config";
    std::error_code error;
    std::filesystem::create_directories(record, error);
    std::filesystem::create_directories(config, error);
    if (error) {
        result.error = "cannot create " + record.string() + ": " + error.message();
        return result;
    }
    PlainPassword plain;
    plain.Assign(kDemoPassword);
    std::string protectedPassword;
    EncodePassword(plain, protectedPassword);
    std::string configText = kConfigFile;
    configText.replace(configText.find("%s"), 2, protectedPassword);
    if (!WriteText(config / "version.bin", kVersionFile, result) ||
        !WriteText(config / "config.ini", configText, result))
        return result;

    std::string reason;
    auto audio = EncodeTone(kAudioSampleRate, options.seconds, reason);
    if (!audio) {
        result.error = reason;
        return result;
    }
    for (const Planned& plan : kPlan) {
        if ((options.single || options.pair) && &plan != &kPlan[0]) break;
        const std::string stamp = plan.stamp;
        const std::int64_t start = StampSeconds(stamp);
        const std::string stem = stamp + "_" + plan.kind;
        DriveSpec drive;
        drive.startMs = start * 1000;
        drive.seconds = options.seconds;
        drive.parked = plan.kind == 'P';
        const std::int64_t shockMs = plan.kind == 'E' ? options.seconds * 1000 / 2 : -1;
        const bool parking = plan.kind == 'P';

        RecordingSpec spec;
        spec.audio = &*audio;
        spec.startTimeMs = std::uint64_t(start) * 1000;
        switch (plan.sensors) {
            case Sensors::kSidecar:
                if (!parking && !WriteText(record / (stem + ".gps"), NmeaText(drive), result))
                    return result;
                if (!WriteText(record / (stem + ".3gf"),
                               AccelerationRecords(options.seconds, shockMs), result))
                    return result;
                break;
            case Sensors::kEmbedded:
                if (!parking) spec.gpsText = NmeaText(drive);
                spec.accRecords = AccelerationRecords(options.seconds, shockMs);
                break;
            case Sensors::kLaterLayout:
                spec.laterLayout = true;
                spec.gps2Records = GpsRecords(drive);
                spec.accRecords = AccelerationRecords(options.seconds, shockMs);
                break;
            case Sensors::kNone:
                break;
        }
        for (bool rear : {false, true}) {
            if (rear && (!plan.rear || options.single)) continue;
            PatternSpec pattern;
            pattern.width = rear ? options.rearWidth : options.frontWidth;
            pattern.height = rear ? options.rearHeight : options.frontHeight;
            pattern.fps = options.fps;
            pattern.frames = options.seconds * options.fps;
            pattern.keyInterval = options.fps * kKeyFrameSeconds;
            pattern.hevc = options.hevc;
            pattern.label = rear ? "REAR" : "FRONT";
            pattern.startTime = start;
            auto video = EncodePattern(pattern, reason);
            if (!video) {
                result.error = reason;
                return result;
            }
            spec.video = &*video;
            spec.cutShort = plan.cutShort && !rear;
            auto path = record / (stem + (rear ? "R" : "F") + ".mp4");
            if (!WriteRecording(path, spec, reason)) {
                result.error = reason;
                return result;
            }
            result.files.push_back(path);
        }
    }
    // AVI recordings of the camera's older layout, as cards of earlier firmware hold them.
    if (!options.single && !options.pair) {
        std::vector<std::filesystem::path> avi = WriteAviDemoSet(record, options.seconds, reason);
        if (avi.empty()) {
            result.error = reason;
            return result;
        }
        result.files.insert(result.files.end(), avi.begin(), avi.end());
    }
    result.ok = true;
    return result;
}

}  // namespace kx::demo
