#include "cli/CameraCommands.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <limits>
#include <optional>
#include <sstream>
#include <type_traits>

#include "camera/CameraConfigFile.h"
#include "camera/CameraConfigKeys.h"
#include "camera/CameraIdentification.h"
#include "camera/CameraPaths.h"
#include "camera/CredentialProtection.h"
#include "cli/Arguments.h"
#include "cli/Json.h"
#include "cli/JsonReader.h"

namespace kx::cli {
namespace {

constexpr const char* kCameraUsage =
    "usage: kxcard camera identify ROOT | camera get ROOT [--show-password] | "
    "camera put ROOT FILE.json";
constexpr const char* kPasswordUsage = "usage: kxcard password encode TEXT | password decode HEX";

// Top-level members of "camera get" that describe the card rather than a setting; "camera put"
// accepts and ignores them so that the output of get can be fed back.
constexpr std::string_view kDescriptiveMembers[] = {"accepted", "title", "version", "voiceHidden"};
constexpr std::string_view kPasswordSetMember = "ap_pw_set";

void Warn(const std::string& message) {
    std::fprintf(stderr, "kxcard: warning: %s\n", message.c_str());
}

bool IsDirectory(const std::string& root) {
    std::error_code error;
    return std::filesystem::is_directory(root, error);
}

// One section of the record as a JSON object; the password only when asked for.
std::string SectionJson(const ConfigSection& section, const CameraConfig& config,
                        int firmwareVersion, bool showPassword) {
    JsonObject object;
    for (const ConfigKey& key : section.loadOrder) {
        if (!KeyPresent(key, firmwareVersion)) continue;
        std::visit(
            [&](auto member) {
                const auto& field = config.*member;
                using Field = std::remove_cvref_t<decltype(field)>;
                if constexpr (IsFixedText<Field>::value) {
                    if (key.protectedPassword && !showPassword)
                        object.Add(kPasswordSetMember, field.empty() ? 0 : 1);
                    else
                        object.Add(key.name, field.view());
                } else {
                    object.Add(key.name, static_cast<std::int64_t>(field));
                }
            },
            key.field);
    }
    return object.str();
}

// A setting given to "camera put", checked against its field.
struct Change {
    const ConfigKey* key = nullptr;
    std::int64_t number = 0;
    std::string text;
};

std::optional<Change> CheckValue(const ConfigSection& section, const ConfigKey& key,
                                 const JsonValue& value, int firmwareVersion, std::string& error) {
    const std::string where = std::string(section.name) + "." + std::string(key.name);
    if (!KeyPresent(key, firmwareVersion)) {
        error = where + " is not a setting of firmware " + FirmwareVersionLabel(firmwareVersion) +
                " (it needs V1.001 or later)";
        return std::nullopt;
    }
    Change change;
    change.key = &key;
    bool ok = std::visit(
        [&](auto member) {
            using Field = std::remove_cvref_t<decltype(std::declval<CameraConfig&>().*member)>;
            if constexpr (IsFixedText<Field>::value) {
                if (value.type != JsonValue::Type::String) {
                    error = where + " must be a string";
                    return false;
                }
                if (value.text.find_first_of(std::string_view("\0\r\n", 3)) != std::string::npos) {
                    error = where + " must not hold a line break or a zero character";
                    return false;
                }
                change.text = std::string(CutUtf8(value.text, Field::kCapacity));
                if (change.text.size() != value.text.size())
                    Warn(where + " cut to " + std::to_string(change.text.size()) +
                         " bytes (it holds at most " + std::to_string(Field::kCapacity) + ")");
                return true;
            } else {
                std::optional<std::int64_t> number = value.Integer();
                if (!number) {
                    error = where + " must be an integer";
                    return false;
                }
                if (*number < std::numeric_limits<Field>::min() ||
                    *number > std::numeric_limits<Field>::max()) {
                    error = where + " must lie in " +
                            std::to_string(std::numeric_limits<Field>::min()) + ".." +
                            std::to_string(std::numeric_limits<Field>::max());
                    return false;
                }
                change.number = *number;
                return true;
            }
        },
        key.field);
    if (!ok) return std::nullopt;
    return change;
}

const ConfigKey* FindKey(const ConfigSection& section, std::string_view name) {
    for (const ConfigKey& key : section.loadOrder)
        if (key.name == name) return &key;
    return nullptr;
}

const ConfigSection* FindSection(std::string_view name) {
    for (const ConfigSection& section : ConfigSections())
        if (section.name == name) return &section;
    return nullptr;
}

bool IsDescriptive(std::string_view name) {
    for (std::string_view member : kDescriptiveMembers)
        if (member == name) return true;
    return false;
}

// Every setting of every object, in the order given; nothing when one of them is not valid.
std::optional<std::vector<Change>> CheckInput(const std::vector<JsonValue>& objects,
                                              int firmwareVersion, std::string& error) {
    std::vector<Change> changes;
    for (const JsonValue& object : objects) {
        if (object.type != JsonValue::Type::Object) {
            error = "the input must hold JSON objects";
            return std::nullopt;
        }
        for (const auto& [sectionName, members] : object.members) {
            if (IsDescriptive(sectionName)) continue;
            const ConfigSection* section = FindSection(sectionName);
            if (!section) {
                error = "unknown section " + sectionName;
                return std::nullopt;
            }
            if (members.type != JsonValue::Type::Object) {
                error = sectionName + " must be an object";
                return std::nullopt;
            }
            for (const auto& [keyName, value] : members.members) {
                if (section->flag == kSectionWifi && keyName == kPasswordSetMember) continue;
                const ConfigKey* key = FindKey(*section, keyName);
                if (!key) {
                    error = "unknown key " + sectionName + "." + keyName;
                    return std::nullopt;
                }
                std::optional<Change> change =
                    CheckValue(*section, *key, value, firmwareVersion, error);
                if (!change) return std::nullopt;
                changes.push_back(std::move(*change));
            }
        }
    }
    return changes;
}

// Stores a change in the record. A text equal to the one shown keeps its stored bytes, so an
// unchanged password is not re-padded.
void Apply(const Change& change, CameraConfig& config) {
    std::visit(
        [&](auto member) {
            auto& field = config.*member;
            using Field = std::remove_reference_t<decltype(field)>;
            if constexpr (IsFixedText<Field>::value) {
                if (field.view() != change.text) field.Assign(change.text);
            } else {
                field = static_cast<Field>(change.number);
            }
        },
        change.key->field);
}

// Whether any key of the section holds another value in after than in before.
bool SectionChanged(const ConfigSection& section, const CameraConfig& before,
                    const CameraConfig& after) {
    for (const ConfigKey& key : section.saveOrder) {
        bool changed =
            std::visit([&](auto member) { return !(before.*member == after.*member); }, key.field);
        if (changed) return true;
    }
    return false;
}

std::optional<std::string> ReadInput(const std::string& name) {
    if (name == "-") {
        std::string bytes((std::istreambuf_iterator<char>(std::cin)),
                          std::istreambuf_iterator<char>());
        if (std::cin.bad()) return std::nullopt;
        return bytes;
    }
    std::ifstream in(name, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

// Settings identification, the byte-order-mark strip and Load, as opening the settings does.
struct OpenedSettings {
    SettingsIdentity identity;
    CameraConfig config;
};

std::optional<OpenedSettings> OpenSettings(const std::string& root, std::string& error) {
    std::optional<SettingsIdentity> identity = IdentifySettings(root);
    if (!identity) {
        error =
            "the card's camera is not one whose settings can be edited (version file "
            "missing, not writable, or another model)";
        return std::nullopt;
    }
    const std::filesystem::path settingsFile = SettingsFilePath(root);
    std::optional<CameraConfig> config;
    if (StripByteOrderMark(settingsFile))
        config = LoadCameraConfig(settingsFile, identity->descriptor.firmwareVersion);
    if (!config) {
        error = "cannot read the camera's settings file " + settingsFile.string();
        return std::nullopt;
    }
    return OpenedSettings{std::move(*identity), *config};
}

int CameraIdentify(const Arguments& args) {
    if (args.positional().size() != 2) return UsageError(kCameraUsage);
    const std::string& root = args.positional()[1];
    if (!IsDirectory(root)) return Failure("no such card folder: " + root);
    std::optional<CardIdentity> identity = IdentifyCard(root);
    CardIdentity shown = identity.value_or(CardIdentity{});
    std::printf("%s\n", JsonObject()
                            .Add("identified", identity ? 1 : 0)
                            .Add("firmware", shown.firmware)
                            .Add("model", shown.model)
                            .Add("language", shown.language)
                            .Add("option", shown.option)
                            .str()
                            .c_str());
    return 0;
}

int CameraGet(const Arguments& args) {
    if (args.positional().size() != 2) return UsageError(kCameraUsage);
    const std::string& root = args.positional()[1];
    if (!IsDirectory(root)) return Failure("no such card folder: " + root);
    std::string error;
    std::optional<OpenedSettings> opened = OpenSettings(root, error);
    if (!opened) {
        std::printf("%s\n", JsonObject().Add("accepted", 0).str().c_str());
        return Failure(error);
    }
    const int firmware = opened->identity.descriptor.firmwareVersion;
    JsonObject object;
    object.Add("accepted", 1)
        .Add("title", opened->identity.title)
        .Add("version", firmware)
        .Add("voiceHidden", opened->identity.descriptor.voiceRecordHidden ? 1 : 0);
    for (const ConfigSection& section : ConfigSections())
        object.AddRaw(section.name,
                      SectionJson(section, opened->config, firmware, args.Flag("--show-password")));
    std::printf("%s\n", object.str().c_str());
    return 0;
}

int CameraPut(const Arguments& args) {
    if (args.positional().size() != 3) return UsageError(kCameraUsage);
    const std::string& root = args.positional()[1];
    if (!IsDirectory(root)) return Failure("no such card folder: " + root);
    std::optional<std::string> input = ReadInput(args.positional()[2]);
    if (!input) return Failure("cannot read " + args.positional()[2]);
    std::string error;
    std::optional<std::vector<JsonValue>> objects = ParseJsonSequence(*input, error);
    if (!objects) return Failure("not JSON: " + error);

    // Everything is checked before the card is touched.
    std::optional<SettingsIdentity> identity = IdentifySettings(root);
    if (!identity)
        return Failure(
            "the card's camera is not one whose settings can be edited (version "
            "file missing, not writable, or another model)");
    const int firmware = identity->descriptor.firmwareVersion;
    std::optional<std::vector<Change>> changes = CheckInput(*objects, firmware, error);
    if (!changes) return Failure(error);

    std::optional<OpenedSettings> opened = OpenSettings(root, error);
    if (!opened) return Failure(error);
    const CameraConfig loaded = opened->config;
    for (const Change& change : *changes) Apply(change, opened->config);
    unsigned flags = 0;
    for (const ConfigSection& section : ConfigSections())
        if (SectionChanged(section, loaded, opened->config)) flags |= section.flag;
    if (!SaveCameraConfig(SettingsFilePath(root), opened->config, flags, firmware))
        return Failure("cannot write the camera's settings file " +
                       SettingsFilePath(root).string() + "; it is unchanged");

    std::string written = "[";
    for (const ConfigSection& section : ConfigSections()) {
        if (!(flags & section.flag)) continue;
        if (written.size() > 1) written += ',';
        written += JsonString(section.name);
    }
    written += "]";
    std::printf("%s\n", JsonObject().AddRaw("written", written).str().c_str());
    return 0;
}

}  // namespace

int RunCamera(const std::vector<std::string>& words) {
    Arguments args(words, {}, {"--show-password"});
    if (!args.ok()) return UsageError(args.error());
    if (args.positional().empty()) return UsageError(kCameraUsage);
    const std::string& action = args.positional()[0];
    if (action != "get" && args.Flag("--show-password"))
        return UsageError("--show-password belongs to camera get");
    if (action == "identify") return CameraIdentify(args);
    if (action == "get") return CameraGet(args);
    if (action == "put") return CameraPut(args);
    return UsageError(kCameraUsage);
}

int RunPassword(const std::vector<std::string>& words) {
    // No options: a password may begin with "--".
    if (words.size() != 2) return UsageError(kPasswordUsage);
    const std::string& action = words[0];
    const std::string& value = words[1];
    if (action == "encode") {
        PlainPassword plain;
        if (!plain.Assign(value))
            Warn("password cut to " + std::to_string(plain.view().size()) +
                 " bytes (it holds at most " + std::to_string(kPlainPasswordBytes) + ")");
        std::string text;
        if (EncodePassword(plain, text) != 0) return Failure("the cipher is not available");
        std::printf("%s\n", JsonObject().Add("protected", text).str().c_str());
        return 0;
    }
    if (action == "decode") {
        PlainPassword plain;
        if (DecodePassword(value, plain) != 0)
            return Failure("not a protected password: 64 hexadecimal digits expected");
        std::printf("%s\n", JsonObject().Add("password", plain.view()).str().c_str());
        return 0;
    }
    return UsageError(kPasswordUsage);
}

}  // namespace kx::cli
