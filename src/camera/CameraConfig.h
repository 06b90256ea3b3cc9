#pragma once
// The camera configuration record: the in-memory image of the card's config.ini, one field per
// key with the key's own name and width. The settings pages edit it; Load fills it and Save
// writes the changed sections back.
#include <cstdint>

#include "camera/CredentialProtection.h"
#include "camera/FixedText.h"

namespace kx {

inline constexpr std::size_t kSetTimeCapacity = 12;          // "%04d%02d%02d%02d%02d"
inline constexpr std::size_t kUserStringCapacity = 20;       // bytes of UTF-8
inline constexpr std::size_t kAccessPointNameCapacity = 32;  // bytes of UTF-8

// Firmware version numbers from this one on know "LockEvent" and "OverwriteLock".
inline constexpr int kFirstLockEventFirmware = 1001;

struct CameraConfig {
    // "Tab1": time, video and recording (Basic page).
    std::int16_t TimeZone = 0;  // hours * 100 + minutes, negative west of Greenwich
    std::uint8_t TimeSet = 0;
    FixedText<kSetTimeCapacity> SetTime;
    std::uint8_t Daylight = 0;
    std::uint8_t GpsSync = 0;
    std::uint8_t ImageSetting = 0;
    std::uint8_t VideoQuality = 0;
    std::uint8_t NightVision = 0;
    std::uint8_t FrontBrightness = 0;
    std::uint8_t RearBrightness = 0;
    std::uint8_t RecordTime = 0;
    std::uint8_t LockEvent = 0;
    std::uint8_t OverwriteLock = 0;
    std::uint8_t NormalRecord = 0;
    std::uint8_t VoiceRecord = 0;
    std::uint8_t DateDisplay = 0;
    std::uint8_t SpeedUnit = 0;
    std::uint8_t AutoParking = 0;
    std::uint8_t RearRotate = 0;
    std::uint8_t FrontRotate = 0;

    // "Tab2": G-sensor and motion sensitivity (Sensitivity page).
    std::uint8_t NORMALSENSOR1 = 0;
    std::uint8_t NORMALSENSOR2 = 0;
    std::uint8_t NORMALSENSOR3 = 0;
    std::uint8_t PARKINGSENSOR1 = 0;
    std::uint8_t PARKINGSENSOR2 = 0;
    std::uint8_t PARKINGSENSOR3 = 0;
    std::uint8_t MOTIONSENSOR = 0;

    // "Tab3": LEDs, voice guidance, speed alert, reboot, overlay text (System page).
    std::uint8_t RECLED = 0;
    std::uint8_t NORMALLED = 0;
    std::uint8_t PARKINGLED = 0;
    std::uint8_t STARTVOICE = 0;
    std::uint8_t NORMALSTARTVOICE = 0;
    std::uint8_t EVENTSTARTVOICE = 0;
    std::uint8_t CHANGERECORDMODEVOICE = 0;
    std::uint8_t ENDVOICE = 0;
    std::uint8_t PARKINGEVENTVOICE = 0;
    std::uint8_t SPEEDALERTVOICE = 0;
    std::uint8_t VOLUME = 0;
    std::uint8_t SpeedAlert = 0;
    std::uint16_t kmLimit = 0;
    std::uint8_t mileLimit = 0;
    std::uint8_t ScheduledReboot = 0;
    std::uint8_t ScheduledRebootTime = 0;
    FixedText<kUserStringCapacity> userString;
    std::uint8_t RearLED = 0;

    // "Wifi": the camera's access point (Wi-Fi page). The password is held in plain form.
    FixedText<kAccessPointNameCapacity> ap_ssid;
    PlainPassword ap_pw;
    std::uint8_t WifiSleepMode = 0;

    bool operator==(const CameraConfig&) const = default;
};

// One flag per section of config.ini, the same values as the settings pages' changed flags.
enum ConfigSectionFlag : unsigned {
    kSectionTab1 = 1,  // Basic page
    kSectionTab2 = 2,  // Sensitivity page
    kSectionTab3 = 4,  // System page
    kSectionWifi = 8,  // Wi-Fi page
};

}  // namespace kx
