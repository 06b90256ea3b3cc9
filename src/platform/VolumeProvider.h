#pragma once
// The mounted removable volumes of the machine, where the camera's card may be (a "drive" of
// the viewer is a volume's mount root): mount root, block device, label and space. The system
// provider reads the mount table and sysfs; tests and the demo use plain folders as volumes,
// chosen by KX_VOLUMES or a command-line option.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/SysBlock.h"
#include "platform/UniqueFd.h"

namespace kx {

// KX_VOLUMES=folder1:folder2:... replaces the system's volumes by these folders, in order.
inline constexpr const char* kVolumesVariable = "KX_VOLUMES";

struct Volume {
    std::filesystem::path root;   // where the volume is mounted
    std::string device;           // "/dev/sdb1"; empty for a folder acting as a volume
    std::string label;            // empty when the volume has none
    std::uint64_t freeBytes = 0;  // available to this user
    std::uint64_t sizeBytes = 0;
};

class VolumeProvider {
  public:
    virtual ~VolumeProvider() = default;
    // The volumes present now, in the platform's order.
    virtual std::vector<Volume> List() const = 0;
    // A descriptor that signals POLLPRI when the mount table changes, or -1 when changes can
    // only be seen by listing again.
    virtual int ChangeDescriptor() const { return -1; }
};

// Mounted file systems of the mount table whose block device lives on removable disks (the
// removable flag of sysfs, or an SD card in a built-in MMC slot), each listed once at its
// first whole mount; labels from /dev/disk/by-label, space from statvfs. The roots and the
// mount table can be pointed elsewhere for tests.
class SystemVolumeProvider final : public VolumeProvider {
  public:
    explicit SystemVolumeProvider(SysfsRoots roots = {},
                                  std::filesystem::path mountInfo = "/proc/self/mountinfo");
    std::vector<Volume> List() const override;
    int ChangeDescriptor() const override { return changeFd_.get(); }

  private:
    SysfsRoots roots_;
    std::filesystem::path mountInfo_;
    UniqueFd changeFd_;
};

// Folders that act as mounted removable volumes, in the order given; a folder that does not
// exist is a card that is not inserted. The label is the folder's name.
class FolderVolumeProvider final : public VolumeProvider {
  public:
    explicit FolderVolumeProvider(std::vector<std::filesystem::path> folders)
        : folders_(std::move(folders)) {}
    std::vector<Volume> List() const override;

  private:
    std::vector<std::filesystem::path> folders_;
};

// Splits "a:b:c" into its non-empty parts.
std::vector<std::filesystem::path> SplitFolderList(const std::string& list);

// Folder volumes from a colon-separated list when one is given (an option, else KX_VOLUMES,
// even when empty: no volume at all), otherwise the system's volumes.
std::unique_ptr<VolumeProvider> MakeVolumeProvider(
    const std::optional<std::string>& folderList = std::nullopt);

// Free space available to the caller and total size of the file system holding path; false
// when it cannot be queried (both stay 0).
bool QueryVolumeSpace(const std::filesystem::path& path, std::uint64_t& freeBytes,
                      std::uint64_t& sizeBytes);

}  // namespace kx
