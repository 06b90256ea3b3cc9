#pragma once
// The mounted removable volumes of the machine (the "removable drives" of the viewer): mount
// root, block device, label and space. The system provider reads the mount table and sysfs;
// tests and the demo set KX_VOLUMES to a list of folders that then act as the volumes.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/SysBlock.h"

namespace kx {

// KX_VOLUMES=folder1:folder2:... replaces the system's volumes by these folders, in order.
inline constexpr const char* kVolumesVariable = "KX_VOLUMES";

struct Volume {
    std::filesystem::path root;  // where the volume is mounted
    std::string device;          // "/dev/sdb1"; empty for a folder acting as a volume
    std::string label;
    std::uint64_t freeBytes = 0;  // available to this user
    std::uint64_t sizeBytes = 0;
};

class VolumeProvider {
  public:
    virtual ~VolumeProvider() = default;
    virtual std::vector<Volume> RemovableVolumes() const = 0;
};

class SystemVolumeProvider final : public VolumeProvider {
  public:
    explicit SystemVolumeProvider(SysfsRoots roots = {},
                                  std::filesystem::path mountInfo = "/proc/self/mountinfo");
    std::vector<Volume> RemovableVolumes() const override;

  private:
    SysfsRoots roots_;
    std::filesystem::path mountInfo_;
};

class FolderVolumeProvider final : public VolumeProvider {
  public:
    explicit FolderVolumeProvider(std::vector<std::filesystem::path> folders);
    // Splits a KX_VOLUMES value at ':' (empty parts are ignored).
    static std::vector<std::filesystem::path> ParseList(const std::string& value);
    std::vector<Volume> RemovableVolumes() const override;

  private:
    std::vector<std::filesystem::path> folders_;
};

// The folder provider when KX_VOLUMES is set, otherwise the system provider.
std::unique_ptr<VolumeProvider> MakeVolumeProvider();

// Free space available to the caller and total size of the file system holding path; false
// when it cannot be queried (both stay 0).
bool QueryVolumeSpace(const std::filesystem::path& path, std::uint64_t& freeBytes,
                      std::uint64_t& sizeBytes);

}  // namespace kx
