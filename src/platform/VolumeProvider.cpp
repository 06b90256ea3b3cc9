#include "platform/VolumeProvider.h"

#include <fcntl.h>
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
    : roots_(std::move(roots)),
      mountInfo_(std::move(mountInfo)),
      changeFd_(::open(mountInfo_.c_str(), O_RDONLY | O_CLOEXEC)) {}

std::vector<Volume> SystemVolumeProvider::List() const {
    const BlockTopology topology = ScanBlockTopology(roots_);
    std::vector<Volume> volumes;
    std::set<std::string> seen;  // a device mounted twice is listed once, at its first mount
    for (const MountEntry& mount : ReadMountTable(mountInfo_)) {
        // A bind mount of a sub-folder shows part of a volume, not the volume.
        if (mount.root != "/") continue;
        const BlockNode* node = topology.FindMounted(mount.major, mount.minor, mount.source);
        if (!node || !topology.OnRemovableDisks(node->name) || !seen.insert(node->name).second)
            continue;
        Volume volume;
        volume.root = mount.mountPoint;
        volume.device = (roots_.dev / node->name).string();
        volume.label = DeviceLabel(roots_, node->name);
        QueryVolumeSpace(volume.root, volume.freeBytes, volume.sizeBytes);
        volumes.push_back(std::move(volume));
    }
    return volumes;
}

std::vector<Volume> FolderVolumeProvider::List() const {
    std::vector<Volume> volumes;
    for (const std::filesystem::path& folder : folders_) {
        std::error_code error;
        if (!std::filesystem::is_directory(folder, error)) continue;  // a card not inserted
        Volume volume;
        volume.root = folder;
        std::filesystem::path normal = folder.lexically_normal();
        if (normal.filename().empty()) normal = normal.parent_path();  // a trailing slash
        volume.label = normal.filename().string();
        QueryVolumeSpace(folder, volume.freeBytes, volume.sizeBytes);
        volumes.push_back(std::move(volume));
    }
    return volumes;
}

std::vector<std::filesystem::path> SplitFolderList(const std::string& list) {
    std::vector<std::filesystem::path> folders;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t colon = list.find(':', start);
        if (colon == std::string::npos) colon = list.size();
        if (colon > start) folders.emplace_back(list.substr(start, colon - start));
        start = colon + 1;
    }
    return folders;
}

std::unique_ptr<VolumeProvider> MakeVolumeProvider(const std::optional<std::string>& folderList) {
    if (folderList) return std::make_unique<FolderVolumeProvider>(SplitFolderList(*folderList));
    if (const char* fromEnvironment = std::getenv(kVolumesVariable))
        return std::make_unique<FolderVolumeProvider>(SplitFolderList(fromEnvironment));
    return std::make_unique<SystemVolumeProvider>();
}

}  // namespace kx
