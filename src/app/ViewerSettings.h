#pragma once
// The viewer's own state: the settings folder Documents/KX-TMQ4/ with setup.ini, the scratch
// files playfile.dat and stepfile.dat, and the start-up values derived from them.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "platform/AtomicFile.h"

namespace kx {

inline constexpr std::string_view kCardFolderPrefix = "KX-TMQ4";
inline constexpr std::string_view kSetupSection = "setup";
// Path keys are read into 259 characters with the terminator: at most 258 characters.
inline constexpr std::size_t kSetupPathBufferSize = 259;
inline constexpr int kScreenHeightForDoubleScale = 1440;

// Display scale: 2 when the primary screen is at least 1440 physical pixels high, else 1.
int DisplayScaleForScreenHeight(int physicalHeight);

struct StartupFolders {
    std::filesystem::path documents;  // the user's documents folder
    std::filesystem::path videos;     // the user's video folder
    std::filesystem::path program;    // the program path of start-up
};

class ViewerSettings {
  public:
    ViewerSettings() = default;
    ViewerSettings(const ViewerSettings&) = delete;
    ViewerSettings& operator=(const ViewerSettings&) = delete;

    // The start-up load: settings folder and files, language, record folder, pip flag, trace
    // header, export folder, then cardSearch (which may replace the record folder).
    void Load(const StartupFolders& folders, std::string_view versionText, int displayScale,
              const std::function<void(ViewerSettings&)>& cardSearch = {});

    // Keys of the "setup" section, read and written one at a time. A failed write is ignored
    // by the viewer; the result tells tests and callers that care.
    std::string ReadString(std::string_view key, std::string_view defaultValue) const;
    int ReadInt(std::string_view key, int defaultValue) const;
    bool WriteString(std::string_view key, std::string_view value) const;
    bool WriteInt(std::string_view key, int value) const;

    // Remembers a copy or export destination; writes "exportpath" only when it changed.
    void SetExportFolder(const std::filesystem::path& folder);
    // Remembers the folder the user browses; written to "filepath".
    void SetBrowseFolder(const std::filesystem::path& folder);
    // "filepath", or the default video folder, for when no card is present.
    std::filesystem::path BrowseFolder() const;
    void SetRecordFolder(const std::filesystem::path& folder) { recordFolder_ = folder; }

    // Creates or truncates playfile.dat for reading and writing; the caller owns the handle.
    UniqueFile OpenPacketFile();
    // Deletes playfile.dat (its handle was closed by its owner).
    void ReleasePacketFile();
    // A stepfile.dat of at least size bytes, reused while it is large enough; size 0 closes
    // and deletes it. Null when it cannot be made. The settings object keeps the handle.
    std::FILE* StepFile(std::uint64_t size);

    const std::filesystem::path& programFolder() const { return programFolder_; }
    const std::filesystem::path& settingsFolder() const { return settingsFolder_; }
    const std::filesystem::path& setupIniPath() const { return setupIniPath_; }
    const std::filesystem::path& packetFilePath() const { return packetFilePath_; }
    const std::filesystem::path& stepFilePath() const { return stepFilePath_; }
    const std::filesystem::path& traceFilePath() const { return traceFilePath_; }
    const std::filesystem::path& recordFolder() const { return recordFolder_; }
    const std::filesystem::path& exportFolder() const { return exportFolder_; }
    const std::filesystem::path& defaultVideoFolder() const { return defaultVideoFolder_; }
    const std::string& versionText() const { return versionText_; }
    int displayScale() const { return displayScale_; }
    bool videoPip() const { return videoPip_ == 1; }

  private:
    bool EnsureSettingsFolder() const;
    std::filesystem::path ReadPath(std::string_view key,
                                   const std::filesystem::path& defaultValue) const;

    std::filesystem::path programFolder_;
    std::filesystem::path settingsFolder_;
    std::filesystem::path setupIniPath_;
    std::filesystem::path packetFilePath_;
    std::filesystem::path stepFilePath_;
    std::filesystem::path traceFilePath_;
    std::filesystem::path defaultVideoFolder_;
    std::filesystem::path recordFolder_;
    std::filesystem::path exportFolder_;
    std::string versionText_ = "1.00";
    int displayScale_ = 1;
    int videoPip_ = 1;

    bool packetFileOpen_ = false;
    UniqueFile stepFile_;
    std::uint64_t stepFileSize_ = 0;
};

// The viewer's one settings object.
ViewerSettings& Settings();

}  // namespace kx
