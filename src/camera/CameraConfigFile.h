#pragma once
// Reading and writing the camera's settings file config.ini through IniFile: unknown keys,
// comments and blank lines stay as they are, and every write replaces the file atomically.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "camera/CameraConfig.h"

namespace kx {

// The UTF-8 byte-order mark some editors put before the first line.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Removes a UTF-8 byte-order mark from the start of the settings file, so that the first
// section line reads as one. A file without the mark is not touched. False (not loadable) when
// the file cannot be read, holds fewer than 4 bytes, or cannot be rewritten.
bool StripByteOrderMark(const std::filesystem::path& settingsFile);

// Reads every key into a zeroed record; "LockEvent" and "OverwriteLock" only from firmware
// version number 1001 on. Integers keep the low bits of their field's width, texts are cut to
// their field on a UTF-8 character boundary, an "ap_pw" that does not decode leaves the
// password empty. Nothing when the file cannot be read.
std::optional<CameraConfig> LoadCameraConfig(const std::filesystem::path& settingsFile,
                                             int firmwareVersion);

// Writes the keys of the sections flagged in sectionFlags (ConfigSectionFlag bits) in one
// atomic replacement of the file. False when the existing file cannot be read, the password
// cannot be protected or the file cannot be written; the file is then unchanged.
bool SaveCameraConfig(const std::filesystem::path& settingsFile, const CameraConfig& config,
                      unsigned sectionFlags, int firmwareVersion);

// The firmware version number of a version text: major * 1000 + minor, each part read as a
// decimal integer ("1.002" and "1.2" give 1002, "2" gives 2000, "" gives 0).
int FirmwareVersionNumber(std::string_view versionText);

// "V%d.%03d" of number / 1000 and number % 1000.
std::string FirmwareVersionLabel(int number);

}  // namespace kx
