#include "camera/CameraIdentification.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "camera/CameraConfigFile.h"
#include "camera/CameraPaths.h"
#include "camera/Utf8Text.h"
#include "containers/ByteOrder.h"
#include "platform/AtomicFile.h"
#include "platform/IniFile.h"

namespace kx {
namespace {

// Buffer sizes of the identification reads, terminator included.
constexpr std::size_t kFirmwareTextBuffer = 7;
constexpr std::size_t kIdentityTextBuffer = 15;
constexpr std::size_t kOtherModelTextBuffer = 16;

constexpr std::size_t kModelCutLength = 7;

// The header of setup.cfg on cards of the two other camera models (little-endian numbers).
constexpr std::size_t kOtherModelHeaderBytes = 64;
constexpr std::size_t kOtherModelTextBytes = 32;
constexpr std::size_t kOtherModelMajorOffset = 32;
constexpr std::size_t kOtherModelMinorOffset = 36;
constexpr std::size_t kOtherModelPatchOffset = 40;
constexpr std::size_t kOtherModelLanguageOffset = 44;
constexpr std::string_view kOtherModelPrefixes[] = {"QT8800S", "QT350"};
constexpr std::string_view kOtherModelLanguages[] = {"English", "China", "Russian", "Japan"};

// The models the settings dialog edits, each compared over its whole length (any suffix may
// follow). All of them share one model descriptor.
constexpr std::string_view kSettingsModels[] = {"VO KX-TMC2", "VO KX-TMH5", "VO KX-TMQ4",
                                                "ZEL KX-TMW8"};
constexpr std::string_view kVoiceHiddenOption = "sg";

// version.bin as an INI document. A leading UTF-8 byte-order mark is skipped in memory (the
// file itself is never written here). An unreadable file reads as empty.
IniFile ReadVersionFile(const std::filesystem::path& path) {
    std::string bytes = ReadWholeFile(path).value_or("");
    std::string_view text = bytes;
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    return IniFile::FromBytes(text);
}

// A wide-text read: at most bufferSize - 1 characters.
std::string ReadCharacters(const IniFile& file, std::string_view section, std::string_view key,
                           std::size_t bufferSize) {
    return std::string(FirstCharacters(file.Find(section, key).value_or(""), bufferSize - 1));
}

// A narrow-text read: at most bufferSize - 1 bytes, not ending inside a character.
std::string ReadBytes(const IniFile& file, std::string_view section, std::string_view key,
                      std::size_t bufferSize) {
    return std::string(CutUtf8(file.Find(section, key).value_or(""), bufferSize - 1));
}

std::optional<CardIdentity> IdentifyOtherModel(const std::filesystem::path& setupFile) {
    std::ifstream in(setupFile, std::ios::binary);
    if (!in) return std::nullopt;
    std::array<unsigned char, kOtherModelHeaderBytes> header{};  // bytes past the end read as 0
    in.read(reinterpret_cast<char*>(header.data()), header.size());
    if (in.bad()) return std::nullopt;

    // The model text ends at its first zero byte, and never runs past its 32 bytes.
    const auto* text = reinterpret_cast<const char*>(header.data());
    const std::string_view model(text, ::strnlen(text, kOtherModelTextBytes));
    bool known = false;
    for (std::string_view prefix : kOtherModelPrefixes) known = known || model.starts_with(prefix);
    if (!known) return std::nullopt;

    CardIdentity identity;
    char firmware[40];
    std::snprintf(firmware, sizeof firmware, "%u.%u.%u",
                  static_cast<unsigned>(Le32(header.data() + kOtherModelMajorOffset)),
                  static_cast<unsigned>(Le32(header.data() + kOtherModelMinorOffset)),
                  static_cast<unsigned>(Le32(header.data() + kOtherModelPatchOffset)));
    identity.firmware = firmware;
    identity.model = std::string(FirstCharacters(Latin1ToUtf8(model), kOtherModelTextBuffer - 1));
    std::uint32_t language = Le32(header.data() + kOtherModelLanguageOffset);
    if (language < std::size(kOtherModelLanguages))
        identity.language = std::string(kOtherModelLanguages[language]);
    return identity;
}

bool IsSettingsModel(std::string_view model) {
    for (std::string_view known : kSettingsModels)
        if (model.starts_with(known)) return true;
    return false;
}

}  // namespace

std::string ModelCut(std::string_view model) {
    const std::size_t length = CharacterCount(model);
    if (length == 0) return {};
    const std::size_t end = length - 1;  // the last character is dropped
    const std::size_t begin = end > kModelCutLength ? end - kModelCutLength : 0;
    return std::string(CharacterRange(model, begin, end - begin));
}

std::optional<CardIdentity> IdentifyCard(const std::filesystem::path& cardRoot) {
    const std::filesystem::path versionFile = VersionFilePath(cardRoot);
    std::error_code error;
    if (std::filesystem::exists(versionFile, error)) {
        const IniFile file = ReadVersionFile(versionFile);
        CardIdentity identity;
        identity.firmware = ReadCharacters(file, "firmware", "version", kFirmwareTextBuffer);
        identity.model = ModelCut(ReadCharacters(file, "firmware", "model", kIdentityTextBuffer));
        identity.language = ReadCharacters(file, "firmware", "language", kIdentityTextBuffer);
        identity.option = ReadCharacters(file, "local", "option", kIdentityTextBuffer);
        return identity;
    }
    return IdentifyOtherModel(OtherModelFilePath(cardRoot));
}

std::optional<SettingsIdentity> IdentifySettings(const std::filesystem::path& cardRoot) {
    if (cardRoot.empty()) return std::nullopt;
    const std::filesystem::path versionFile = VersionFilePath(cardRoot);
    if (!IsReadableAndWritable(versionFile)) return std::nullopt;

    const IniFile file = ReadVersionFile(versionFile);
    SettingsIdentity identity;
    identity.descriptor.card = cardRoot;
    identity.descriptor.firmwareVersion =
        FirmwareVersionNumber(ReadBytes(file, "firmware", "version", kIdentityTextBuffer));
    identity.model = ReadBytes(file, "firmware", "model", kIdentityTextBuffer);
    identity.language = ReadBytes(file, "firmware", "language", kIdentityTextBuffer);
    const std::string option = ReadBytes(file, "firmware", "opt", kIdentityTextBuffer);

    if (!IsSettingsModel(identity.model)) return std::nullopt;
    identity.descriptor.voiceRecordHidden = option == kVoiceHiddenOption;
    identity.title =
        ModelCut(identity.model) + "  " + FirmwareVersionLabel(identity.descriptor.firmwareVersion);
    return identity;
}

bool IsReadableAndWritable(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    return ::access(path.c_str(), R_OK | W_OK) == 0;
}

}  // namespace kx
