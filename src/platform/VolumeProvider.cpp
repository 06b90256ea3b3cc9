#include "platform/VolumeProvider.h"

#include <sys/statvfs.h>

#include <cstdlib>
#include <set>

#include "platform/MountTable.h"

namespace kx {

bool QueryVolumeSpace(const std::filesystem::path& path, std::uint64_t& freeBytes,
                      std::uint64_t& sizeBytes) {
    freeBytes = sizeBytes = 0;
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0) return false;
    freeBytes = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
    sizeBytes = static_cast<std::uint64_t>(info.f_blocks) * info.f_frsize;
    return true;
}

SystemVolumeProvider::SystemVolumeProvider(SysfsRoots roots, std::filesystem::path mountInfo)
    : roots_(std::move(roots)), mountInfo_(std::move(mountInfo)) {}

std::vector<Volume> SystemVolumeProvider::RemovableVolumes() const {
    const BlockTopology topology = ScanBlockTopology(roots_);
    std::vector<Volume> volumes;
    std::set<std::string> seen;  // a device mounted twice is listed once, at its first mount
    for (const MountEntry& mount : ReadMountTable(mountInfo_)) {
        const BlockNode* node = topology.Find(mount.major, mount.minor);
        if (!node || !node->removable || !seen.insert(node->name).second) continue;
        Volume volume;
        volume.root = mount.mountPoint;
        volume.device = (roots_.dev / node->name).string();
        volume.label = DeviceLabel(roots_, node->name);
        QueryVolumeSpace(volume.root, volume.freeBytes, volume.sizeBytes);
        volumes.push_back(std::move(volume));
    }
    return volumes;
}

FolderVolumeProvider::FolderVolumeProvider(std::vector<std::filesystem::path> folders)
    : folders_(std::move(folders)) {}

std::vector<std::filesystem::path> FolderVolumeProvider::ParseList(const std::string& value) {
    std::vector<std::filesystem::path> folders;
    std::size_t start = 0;
    while (start <= value.size()) {
        std::size_t end = value.find(':', start);
        if (end == std::string::npos) end = value.size();
        if (end > start) folders.emplace_back(value.substr(start, end - start));
        start = end + 1;
    }
    return folders;
}

std::vector<Volume> FolderVolumeProvider::RemovableVolumes() const {
    std::vector<Volume> volumes;
    for (const std::filesystem::path& folder : folders_) {
        std::error_code error;
        if (!std::filesystem::is_directory(folder, error)) continue;  // a card not inserted
        Volume volume;
        volume.root = folder;
        volume.label = folder.filename().string();
        QueryVolumeSpace(folder, volume.freeBytes, volume.sizeBytes);
        volumes.push_back(std::move(volume));
    }
    return volumes;
}

std::unique_ptr<VolumeProvider> MakeVolumeProvider() {
    if (const char* value = std::getenv(kVolumesVariable))
        return std::make_unique<FolderVolumeProvider>(FolderVolumeProvider::ParseList(value));
    return std::make_unique<SystemVolumeProvider>();
}

}  // namespace kx
