#pragma once
// Which camera a card belongs to, read from the card's own files: card identification for the
// tool bar and the About box, settings identification before the settings dialog edits the card.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kx {

// Card identification result. From version.bin: firmware text (at most 6 characters), the model
// cut of the model, language and region option (at most 14 characters each). From setup.cfg:
// "major.minor.patch", the model text (at most 15 characters), the language name of the index,
// and no option.
struct CardIdentity {
    std::string firmware;
    std::string model;
    std::string language;
    std::string option;
};

// Nothing when the card has neither a version file nor a setup.cfg of a known other model.
std::optional<CardIdentity> IdentifyCard(const std::filesystem::path& cardRoot);

// The seven characters that end one character before the end of the model text ("VO KX-TMQ4A"
// gives "KX-TMQ4"). A text of fewer than 8 characters gives all of it but its last character.
std::string ModelCut(std::string_view model);

// What the settings pages need to know about the camera.
struct ModelDescriptor {
    int firmwareVersion = 0;         // major * 1000 + minor
    bool voiceRecordHidden = false;  // model option "sg": no voice-recording control
    std::filesystem::path card;      // the card's root
};

struct SettingsIdentity {
    ModelDescriptor descriptor;
    std::string model;     // "firmware" / "model" as read
    std::string language;  // "firmware" / "language" as read (no further effect)
    std::string title;     // model cut, two blanks and "V%d.%03d"
};

// Accepts a card whose version file is readable and writable and names one of the models the
// settings dialog knows; nothing otherwise.
std::optional<SettingsIdentity> IdentifySettings(const std::filesystem::path& cardRoot);

// Readable and writable by this process and not marked read-only (no write permission bit at
// all), so a write-protected card or file is refused even for a privileged user.
bool IsReadableAndWritable(const std::filesystem::path& path);

}  // namespace kx
