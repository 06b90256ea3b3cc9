#pragma once
// Every visible text is looked up by key in lng/<language>.dat beside the program. A missing
// file, section or key gives the key itself, so nothing ever fails for lack of a text.
#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/IniFile.h"

namespace kx {

// The position of a name is the language index of the camera settings.
inline constexpr std::array<std::string_view, 16> kLanguageNames = {
    "korea",      "english",    "russian", "japan",   "china", "german", "french",    "thai",
    "indonesian", "vietnamese", "spain",   "italian", "dutch", "polish", "norwegian", "finnish"};

inline constexpr std::string_view kViewerLanguage = "japan";
inline constexpr std::size_t kLanguageNameCapacity = 15;
// A lookup reads into a buffer of this size, terminator included: at most 1022 characters.
inline constexpr std::size_t kTextBufferSize = 1023;

enum TextSection : int { kSectionLabel = 0, kSectionMessage = 1, kSectionTooltip = 2 };
inline constexpr std::array<std::string_view, 3> kSectionNames = {"lable", "message", "tooltip"};

class LanguageTable {
  public:
    // Sets the language and loads lng/<name>.dat from the program folder.
    void Select(std::string_view name, const std::filesystem::path& programFolder);

    // The text of key in section (0 "lable", 1 "message", 2 "tooltip"), "\n" pairs turned
    // into CR LF. The result lives in a shared buffer that the next lookup overwrites.
    const std::string& Text(std::string_view key, int section);

    const std::string& name() const { return name_; }
    const std::filesystem::path& filePath() const { return filePath_; }
    bool isKorean() const { return name_ == "korea"; }

  private:
    std::string name_;
    std::filesystem::path filePath_;
    IniFile file_;
    std::string buffer_;
};

// The viewer's one language table (used from the user-interface thread only).
LanguageTable& ViewerLanguage();

// Text(key, section) of the viewer's language table.
const std::string& Text(std::string_view key, int section);

// Replaces each backslash-n pair by CR LF in place.
void ExpandLineBreaks(std::string& text);

}  // namespace kx
