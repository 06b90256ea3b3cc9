#pragma once
// Where the camera keeps its files on a card, built from the card's mount root.
#include <filesystem>
#include <string_view>

namespace kx {

// The card folder of this camera, directly under the card's root.
inline constexpr std::string_view kCardFolderName = "KX-TMQ4";

// <root>/KX-TMQ4/Config/version.bin: the camera's firmware identity (INI text).
std::filesystem::path VersionFilePath(const std::filesystem::path& cardRoot);
// <root>/KX-TMQ4/Config/config.ini: the camera's settings (INI text).
std::filesystem::path SettingsFilePath(const std::filesystem::path& cardRoot);
// <root>/setup.cfg: the header that identifies a card of another camera model.
std::filesystem::path OtherModelFilePath(const std::filesystem::path& cardRoot);

}  // namespace kx
