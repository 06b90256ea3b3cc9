#pragma once
// Watches the removable volumes on a thread of its own and reports each arrival and removal,
// the two device notices the card rules act on. Mount table changes are awaited with poll;
// a source without a change descriptor (folder volumes) is listed again at an interval.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

#include "platform/VolumeProvider.h"

namespace kx {

enum class VolumeEvent { Arrival, Removal };

class MountWatcher {
  public:
    // report runs on the watcher thread; it must hand the event on (post a message) and not
    // block. A change with volumes both gone and new reports the removal first.
    MountWatcher(const VolumeProvider& volumes, std::function<void(VolumeEvent)> report,
                 std::chrono::milliseconds listInterval = std::chrono::milliseconds(500));
    ~MountWatcher();
    MountWatcher(const MountWatcher&) = delete;
    MountWatcher& operator=(const MountWatcher&) = delete;

  private:
    void Run(std::set<std::filesystem::path> known);
    std::set<std::filesystem::path> Roots() const;

    const VolumeProvider& volumes_;
    std::function<void(VolumeEvent)> report_;
    std::chrono::milliseconds listInterval_;
    int stopFd_ = -1;
    std::thread thread_;
};

}  // namespace kx
