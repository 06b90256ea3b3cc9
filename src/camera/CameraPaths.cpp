#include "camera/CameraPaths.h"

namespace kx {
namespace {

std::filesystem::path ConfigFolder(const std::filesystem::path& cardRoot) {
    return cardRoot / kCardFolderName / "Config";
}

}  // namespace

std::filesystem::path VersionFilePath(const std::filesystem::path& cardRoot) {
    return ConfigFolder(cardRoot) / "version.bin";
}

std::filesystem::path SettingsFilePath(const std::filesystem::path& cardRoot) {
    return ConfigFolder(cardRoot) / "config.ini";
}

std::filesystem::path OtherModelFilePath(const std::filesystem::path& cardRoot) {
    return cardRoot / "setup.cfg";
}

}  // namespace kx
