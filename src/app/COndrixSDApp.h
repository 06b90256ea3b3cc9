#pragma once
// The application object: single-instance test, program folder, version text, the viewer
// start-up, then the main frame. Runs once on the user-interface thread.
#include <filesystem>
#include <memory>
#include <string>

#include "app/CMainFrame.h"
#include "app/ViewerKeyFilter.h"
#include "platform/SingleInstance.h"

namespace kx {

inline constexpr const char* kProfileKeyName = "Korvane Ondrix SD Player";

class COndrixSDApp {
  public:
    COndrixSDApp();
    ~COndrixSDApp();

    // The start-up; false ends the process at once without a window.
    bool InitInstance();
    int ExitInstance(int exitCode);

    CMainFrame* mainFrame() const { return mainFrame_.get(); }
    ViewerKeyFilter& keyFilter() { return keyFilter_; }
    const std::filesystem::path& programPath() const { return programPath_; }
    const std::string& versionText() const { return versionText_; }

  private:
    std::unique_ptr<SingleInstance> singleInstance_;
    std::unique_ptr<CMainFrame> mainFrame_;
    ViewerKeyFilter keyFilter_;
    std::filesystem::path programPath_;
    std::string versionText_;
};

}  // namespace kx
