#pragma once
// A camera card built in a temporary folder: <root>/KX-TMQ4/Config/ with version.bin and
// config.ini written from the texts a test gives.
#include <filesystem>
#include <string>
#include <string_view>

#include "support/TempDir.h"

namespace kx::test {

class CameraCard {
  public:
    CameraCard();
    const std::filesystem::path& root() const { return dir_.path(); }
    std::filesystem::path versionFile() const;
    std::filesystem::path settingsFile() const;

    void WriteVersion(std::string_view text) const;
    void WriteSettings(std::string_view text) const;
    std::string Settings() const;

  private:
    TempDir dir_;
};

// version.bin text with CRLF lines; empty arguments leave their key out.
std::string VersionText(std::string_view model, std::string_view version,
                        std::string_view option = "", std::string_view language = "English");

// The password of FullSettingsText, stored in its protected form with the build's key.
inline constexpr std::string_view kFixturePassword = "secret123";

// config.ini with every key the viewer knows, plus a comment, an unknown key, blank lines and an
// unknown section, with CRLF lines as the camera writes them.
std::string FullSettingsText();

// text with the first occurrence of from replaced by to; a missing one fails the test.
std::string Replace(std::string text, std::string_view from, std::string_view to);

}  // namespace kx::test
