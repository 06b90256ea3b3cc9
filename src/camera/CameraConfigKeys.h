#pragma once
// The keys of config.ini that the viewer reads and writes: section, name, record field and the
// order in which Load reads and Save writes them.
#include <cstdint>
#include <span>
#include <string_view>
#include <variant>

#include "camera/CameraConfig.h"

namespace kx {

using ConfigField =
    std::variant<std::uint8_t CameraConfig::*, std::int16_t CameraConfig::*,
                 std::uint16_t CameraConfig::*, FixedText<kSetTimeCapacity> CameraConfig::*,
                 FixedText<kUserStringCapacity> CameraConfig::*,
                 FixedText<kAccessPointNameCapacity> CameraConfig::*>;

struct ConfigKey {
    std::string_view name;
    ConfigField field;
    bool lockEventFirmware = false;  // present only from firmware kFirstLockEventFirmware on
    bool protectedPassword = false;  // stored in the protected form, held in plain form
};

struct ConfigSection {
    std::string_view name;  // "Tab1", "Tab2", "Tab3", "Wifi"
    ConfigSectionFlag flag;
    std::span<const ConfigKey> loadOrder;
    std::span<const ConfigKey> saveOrder;
};

// The four sections in the order Load and Save handle them.
std::span<const ConfigSection> ConfigSections();

// Whether a key is part of the file for this firmware version number.
inline bool KeyPresent(const ConfigKey& key, int firmwareVersion) {
    return !key.lockEventFirmware || firmwareVersion >= kFirstLockEventFirmware;
}

}  // namespace kx
