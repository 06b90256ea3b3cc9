#pragma once
// The machine's removable volumes, where the camera's card may be: a "drive" of the card
// search is a volume's mount root. The real source reads the mount table; the folder source
// lets tests and the demo use plain folders as volumes.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kx {

struct RemovableVolume {
    std::filesystem::path root;   // mount root
    std::string label;            // volume label, empty when it has none
    std::uint64_t freeBytes = 0;  // space available to the user
};

class RemovableVolumes {
  public:
    virtual ~RemovableVolumes() = default;
    // The volumes in the platform's order.
    virtual std::vector<RemovableVolume> List() const = 0;
    // A descriptor that signals POLLPRI when the mount table changes, or -1 when changes can
    // only be seen by listing again.
    virtual int ChangeDescriptor() const { return -1; }
};

// Mounted file systems of /proc/self/mountinfo whose block device is removable
// (/sys/block/<disk>/removable is 1, or an SD card in an MMC slot), labels from
// /dev/disk/by-label. The paths can be pointed elsewhere for tests.
class MountedRemovableVolumes : public RemovableVolumes {
  public:
    struct Paths {
        std::filesystem::path mountInfo = "/proc/self/mountinfo";
        std::filesystem::path sys = "/sys";
        std::filesystem::path labels = "/dev/disk/by-label";
    };
    MountedRemovableVolumes();
    explicit MountedRemovableVolumes(Paths paths);
    ~MountedRemovableVolumes() override;
    std::vector<RemovableVolume> List() const override;
    int ChangeDescriptor() const override { return changeFd_; }

  private:
    Paths paths_;
    int changeFd_ = -1;
};

// Folders that act as mounted removable volumes, in the order given; a folder that does not
// exist is a volume that is not inserted. The label is the folder's name.
class FolderVolumes : public RemovableVolumes {
  public:
    explicit FolderVolumes(std::vector<std::filesystem::path> folders)
        : folders_(std::move(folders)) {}
    std::vector<RemovableVolume> List() const override;

  private:
    std::vector<std::filesystem::path> folders_;
};

// The environment variable that selects folder volumes: KX_VOLUMES=path1:path2:...
inline constexpr const char* kVolumesVariable = "KX_VOLUMES";

// Folder volumes from a colon-separated list when one is given (an option, else KX_VOLUMES,
// even when empty: no volume at all), otherwise the mounted removable volumes.
std::unique_ptr<RemovableVolumes> MakeRemovableVolumes(
    const std::optional<std::string>& folderList = std::nullopt);

// Splits "a:b:c" into its non-empty parts.
std::vector<std::filesystem::path> SplitFolderList(const std::string& list);

}  // namespace kx
