#include "library/MountWatcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <iterator>

#include "app/Trace.h"

namespace kx {

MountWatcher::MountWatcher(const VolumeProvider& volumes, std::function<void(VolumeEvent)> report,
                           std::chrono::milliseconds listInterval)
    : volumes_(volumes), report_(std::move(report)), listInterval_(listInterval) {
    stopFd_ = ::eventfd(0, EFD_CLOEXEC);
    if (stopFd_ < 0) {
        Trace("MountWatcher", __LINE__, "eventfd failed (%d)\n", errno);
        return;
    }
    // The volumes present now are known before the thread starts, so a change right after
    // construction is reported.
    thread_ = std::thread([this, known = Roots()]() mutable { Run(std::move(known)); });
}

MountWatcher::~MountWatcher() {
    if (stopFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t written = ::write(stopFd_, &one, sizeof one);
    }
    if (thread_.joinable()) thread_.join();
    if (stopFd_ >= 0) ::close(stopFd_);
}

std::set<std::filesystem::path> MountWatcher::Roots() const {
    std::set<std::filesystem::path> roots;
    for (const Volume& volume : volumes_.List()) roots.insert(volume.root);
    return roots;
}

void MountWatcher::Run(std::set<std::filesystem::path> known) {
    const int changeFd = volumes_.ChangeDescriptor();
    for (;;) {
        pollfd waits[2] = {{stopFd_, POLLIN, 0}, {changeFd, POLLPRI, 0}};
        const nfds_t count = changeFd >= 0 ? 2 : 1;
        const int timeout = changeFd >= 0 ? -1 : static_cast<int>(listInterval_.count());
        const int ready = ::poll(waits, count, timeout);
        if (ready < 0 && errno != EINTR) {
            Trace("MountWatcher", __LINE__, "poll failed (%d)\n", errno);
            return;
        }
        if (waits[0].revents & POLLIN) return;

        std::set<std::filesystem::path> now = Roots();
        const bool removed = std::any_of(known.begin(), known.end(),
                                         [&](const auto& root) { return !now.count(root); });
        const bool arrived = std::any_of(now.begin(), now.end(),
                                         [&](const auto& root) { return !known.count(root); });
        known = std::move(now);
        if (removed && report_) report_(VolumeEvent::Removal);
        if (arrived && report_) report_(VolumeEvent::Arrival);
    }
}

}  // namespace kx
