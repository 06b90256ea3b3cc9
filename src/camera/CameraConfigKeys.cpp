#include "camera/CameraConfigKeys.h"

#include <array>

namespace kx {
namespace {

using C = CameraConfig;

constexpr ConfigKey kTab1[] = {
    {"TimeZone", &C::TimeZone},
    {"TimeSet", &C::TimeSet},
    {"SetTime", &C::SetTime},
    {"Daylight", &C::Daylight},
    {"GpsSync", &C::GpsSync},
    {"ImageSetting", &C::ImageSetting},
    {"VideoQuality", &C::VideoQuality},
    {"NightVision", &C::NightVision},
    {"FrontBrightness", &C::FrontBrightness},
    {"RearBrightness", &C::RearBrightness},
    {"RecordTime", &C::RecordTime},
    {"LockEvent", &C::LockEvent, true},
    {"OverwriteLock", &C::OverwriteLock, true},
    {"NormalRecord", &C::NormalRecord},
    {"VoiceRecord", &C::VoiceRecord},
    {"DateDisplay", &C::DateDisplay},
    {"SpeedUnit", &C::SpeedUnit},
    {"AutoParking", &C::AutoParking},
    {"RearRotate", &C::RearRotate},
    {"FrontRotate", &C::FrontRotate},
};

constexpr ConfigKey kTab2[] = {
    {"NORMALSENSOR1", &C::NORMALSENSOR1},   {"NORMALSENSOR2", &C::NORMALSENSOR2},
    {"NORMALSENSOR3", &C::NORMALSENSOR3},   {"PARKINGSENSOR1", &C::PARKINGSENSOR1},
    {"PARKINGSENSOR2", &C::PARKINGSENSOR2}, {"PARKINGSENSOR3", &C::PARKINGSENSOR3},
    {"MOTIONSENSOR", &C::MOTIONSENSOR},
};

constexpr ConfigKey kTab3[] = {
    {"RECLED", &C::RECLED},
    {"NORMALLED", &C::NORMALLED},
    {"PARKINGLED", &C::PARKINGLED},
    {"STARTVOICE", &C::STARTVOICE},
    {"NORMALSTARTVOICE", &C::NORMALSTARTVOICE},
    {"EVENTSTARTVOICE", &C::EVENTSTARTVOICE},
    {"CHANGERECORDMODEVOICE", &C::CHANGERECORDMODEVOICE},
    {"ENDVOICE", &C::ENDVOICE},
    {"PARKINGEVENTVOICE", &C::PARKINGEVENTVOICE},
    {"SPEEDALERTVOICE", &C::SPEEDALERTVOICE},
    {"VOLUME", &C::VOLUME},
    {"SpeedAlert", &C::SpeedAlert},
    {"kmLimit", &C::kmLimit},
    {"mileLimit", &C::mileLimit},
    {"ScheduledReboot", &C::ScheduledReboot},
    {"ScheduledRebootTime", &C::ScheduledRebootTime},
    {"userString", &C::userString},
    {"RearLED", &C::RearLED},
};

// Load reads the name first; Save writes the sleep mode first.
constexpr ConfigKey kWifiLoad[] = {
    {"ap_ssid", &C::ap_ssid},
    {"ap_pw", &C::ap_pw, false, true},
    {"WifiSleepMode", &C::WifiSleepMode},
};
constexpr ConfigKey kWifiSave[] = {
    {"WifiSleepMode", &C::WifiSleepMode},
    {"ap_ssid", &C::ap_ssid},
    {"ap_pw", &C::ap_pw, false, true},
};

constexpr std::array<ConfigSection, 4> kSections = {{
    {"Tab1", kSectionTab1, kTab1, kTab1},
    {"Tab2", kSectionTab2, kTab2, kTab2},
    {"Tab3", kSectionTab3, kTab3, kTab3},
    {"Wifi", kSectionWifi, kWifiLoad, kWifiSave},
}};

}  // namespace

std::span<const ConfigSection> ConfigSections() {
    return kSections;
}

}  // namespace kx
