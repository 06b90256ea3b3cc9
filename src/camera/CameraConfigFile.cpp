#include "camera/CameraConfigFile.h"

#include <cstdint>
#include <cstdio>
#include <type_traits>

#include "camera/CameraConfigKeys.h"
#include "camera/CredentialProtection.h"
#include "platform/AtomicFile.h"
#include "platform/IniFile.h"

namespace kx {
namespace {

constexpr std::size_t kMarkCheckBytes = 4;

void ReadKey(const IniFile& file, std::string_view section, const ConfigKey& key,
             CameraConfig& config) {
    std::visit(
        [&](auto member) {
            auto& field = config.*member;
            using Field = std::remove_reference_t<decltype(field)>;
            if constexpr (IsFixedText<Field>::value) {
                std::string_view value = file.Find(section, key.name).value_or("");
                if constexpr (std::is_same_v<Field, PlainPassword>) {
                    if (key.protectedPassword) {
                        // Only the first 64 characters are looked at; a value that does not
                        // decode leaves the password empty.
                        if (!value.empty())
                            DecodePassword(value.substr(0, kProtectedPasswordChars), field);
                        return;
                    }
                }
                field.Assign(value);
            } else {
                // The field keeps the low bits of the value, as a narrower integer does.
                field = static_cast<Field>(file.GetInt(section, key.name, 0));
            }
        },
        key.field);
}

// The text Save writes for a key; nothing when the password cannot be protected.
std::optional<std::string> KeyText(const ConfigKey& key, const CameraConfig& config) {
    return std::visit(
        [&](auto member) -> std::optional<std::string> {
            const auto& field = config.*member;
            using Field = std::remove_cvref_t<decltype(field)>;
            if constexpr (IsFixedText<Field>::value) {
                if constexpr (std::is_same_v<Field, PlainPassword>) {
                    if (key.protectedPassword) {
                        if (field.empty()) return std::string();
                        std::string text;
                        if (EncodePassword(field, text) != 0) return std::nullopt;
                        return text;
                    }
                }
                return std::string(field.view());
            } else {
                return std::to_string(field);
            }
        },
        key.field);
}

// Optional sign and decimal digits from the start; wraps at 32 bits instead of overflowing.
std::uint32_t LeadingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
    return negative ? 0u - value : value;
}

}  // namespace

bool StripByteOrderMark(const std::filesystem::path& settingsFile) {
    std::optional<std::string> bytes = ReadWholeFile(settingsFile);
    if (!bytes || bytes->size() < kMarkCheckBytes) return false;
    if (!std::string_view(*bytes).starts_with(kByteOrderMark)) return true;
    const std::string_view rest = std::string_view(*bytes).substr(kByteOrderMark.size());
    return IniFile::FromBytes(rest).Save(settingsFile);
}

std::optional<CameraConfig> LoadCameraConfig(const std::filesystem::path& settingsFile,
                                             int firmwareVersion) {
    std::optional<std::string> bytes = ReadWholeFile(settingsFile);
    if (!bytes) return std::nullopt;
    const IniFile file = IniFile::FromBytes(*bytes);
    CameraConfig config{};
    for (const ConfigSection& section : ConfigSections())
        for (const ConfigKey& key : section.loadOrder)
            if (KeyPresent(key, firmwareVersion)) ReadKey(file, section.name, key, config);
    return config;
}

bool SaveCameraConfig(const std::filesystem::path& settingsFile, const CameraConfig& config,
                      unsigned sectionFlags, int firmwareVersion) {
    if ((sectionFlags & (kSectionTab1 | kSectionTab2 | kSectionTab3 | kSectionWifi)) == 0)
        return true;  // nothing changed: the file is not touched
    // An existing file that cannot be read must not be replaced by the written keys alone.
    std::optional<IniFile> file = IniFile::Read(settingsFile);
    if (!file) return false;
    for (const ConfigSection& section : ConfigSections()) {
        if (!(sectionFlags & section.flag)) continue;
        for (const ConfigKey& key : section.saveOrder) {
            if (!KeyPresent(key, firmwareVersion)) continue;
            std::optional<std::string> text = KeyText(key, config);
            if (!text || !file->SetString(section.name, key.name, *text)) return false;
        }
    }
    return file->Save(settingsFile);
}

int FirmwareVersionNumber(std::string_view versionText) {
    std::size_t point = versionText.find('.');
    std::uint32_t major = LeadingInteger(versionText.substr(0, point));
    std::uint32_t minor =
        point == std::string_view::npos ? 0 : LeadingInteger(versionText.substr(point + 1));
    return static_cast<int>(major * 1000u + minor);
}

std::string FirmwareVersionLabel(int number) {
    char label[32];
    std::snprintf(label, sizeof label, "V%d.%03d", number / 1000, number % 1000);
    return label;
}

}  // namespace kx
