#include "app/ViewerSettings.h"

#include <fcntl.h>
#include <unistd.h>

#include <system_error>

#include "app/LanguageTable.h"
#include "app/Trace.h"
#include "platform/IniFile.h"

namespace kx {
namespace {

void RemoveQuietly(const std::filesystem::path& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

}  // namespace

int DisplayScaleForScreenHeight(int physicalHeight) {
    return physicalHeight >= kScreenHeightForDoubleScale ? 2 : 1;
}

void ViewerSettings::Load(const StartupFolders& folders, std::string_view versionText,
                          int displayScale,
                          const std::function<void(ViewerSettings&)>& cardSearch) {
    programFolder_ = folders.program;
    versionText_ = std::string(versionText);
    displayScale_ = displayScale;

    settingsFolder_ = folders.documents / kCardFolderPrefix;
    EnsureSettingsFolder();
    setupIniPath_ = settingsFolder_ / "setup.ini";
    packetFilePath_ = settingsFolder_ / "playfile.dat";
    stepFilePath_ = settingsFolder_ / "stepfile.dat";
    traceFilePath_ = settingsFolder_ / "trace_sd.txt";
    RemoveQuietly(packetFilePath_);
    RemoveQuietly(stepFilePath_);

    ViewerLanguage().Select(kViewerLanguage, programFolder_);

    // The video folder with "Videos" appended, as the viewer has always stored it.
    defaultVideoFolder_ = folders.videos / "Videos";
    recordFolder_ = ReadPath("movepath", defaultVideoFolder_);
    videoPip_ = ReadInt("video_pip", 1);

    TraceStart(traceFilePath_, versionText_);

    exportFolder_ = ReadPath("exportpath", {});
    if (exportFolder_.empty()) exportFolder_ = recordFolder_;

    if (cardSearch) cardSearch(*this);
}

bool ViewerSettings::EnsureSettingsFolder() const {
    std::error_code error;
    if (std::filesystem::exists(settingsFolder_, error)) return true;
    if (error) return false;  // another access error than "not found" is left alone
    return std::filesystem::create_directories(settingsFolder_, error);
}

std::string ViewerSettings::ReadString(std::string_view key, std::string_view defaultValue) const {
    return ReadProfileString(setupIniPath_, kSetupSection, key, defaultValue, kSetupPathBufferSize);
}

int ViewerSettings::ReadInt(std::string_view key, int defaultValue) const {
    return ReadProfileInt(setupIniPath_, kSetupSection, key, defaultValue);
}

bool ViewerSettings::WriteString(std::string_view key, std::string_view value) const {
    if (setupIniPath_.empty()) return false;
    return WriteProfileString(setupIniPath_, kSetupSection, key, value);
}

bool ViewerSettings::WriteInt(std::string_view key, int value) const {
    return WriteString(key, std::to_string(value));
}

std::filesystem::path ViewerSettings::ReadPath(std::string_view key,
                                               const std::filesystem::path& defaultValue) const {
    return std::filesystem::path(ReadString(key, defaultValue.string()));
}

void ViewerSettings::SetExportFolder(const std::filesystem::path& folder) {
    if (folder == exportFolder_) return;
    exportFolder_ = folder;
    WriteString("exportpath", folder.string());
}

void ViewerSettings::SetBrowseFolder(const std::filesystem::path& folder) {
    WriteString("filepath", folder.string());
}

std::filesystem::path ViewerSettings::BrowseFolder() const {
    return ReadPath("filepath", defaultVideoFolder_);
}

UniqueFile ViewerSettings::OpenPacketFile() {
    EnsureSettingsFolder();
    UniqueFile file = OpenFile(packetFilePath_, "wb+");
    packetFileOpen_ = file != nullptr;
    return file;
}

void ViewerSettings::ReleasePacketFile() {
    if (!packetFileOpen_) return;
    packetFileOpen_ = false;
    RemoveQuietly(packetFilePath_);
}

std::FILE* ViewerSettings::StepFile(std::uint64_t size) {
    if (size == 0) {
        stepFile_.reset();
        stepFileSize_ = 0;
        RemoveQuietly(stepFilePath_);
        return nullptr;
    }
    if (stepFile_ && stepFileSize_ >= size) return stepFile_.get();

    stepFile_.reset();
    stepFileSize_ = 0;
    EnsureSettingsFolder();
    int fd = ::open(stepFilePath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    bool sized = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    ::close(fd);
    if (!sized) {
        Trace("ViewerSettings::StepFile", __LINE__, "step file of %llu bytes failed\n",
              static_cast<unsigned long long>(size));
        return nullptr;
    }
    stepFile_ = OpenFile(stepFilePath_, "rb+");
    if (stepFile_) stepFileSize_ = size;
    return stepFile_.get();
}

ViewerSettings& Settings() {
    static ViewerSettings settings;
    return settings;
}

}  // namespace kx
