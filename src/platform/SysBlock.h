#pragma once
// Block devices as sysfs describes them: disks, their partitions, device-mapper and RAID
// devices stacked on them, the removable flag and the labels udev publishes. The roots are
// parameters so that tests can describe a machine with a folder tree.
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

struct SysfsRoots {
    std::filesystem::path sys = "/sys";
    std::filesystem::path dev = "/dev";
};

struct BlockNode {
    std::string name;  // "sdb1"
    std::string disk;  // the whole disk it belongs to: "sdb"
    unsigned major = 0;
    unsigned minor = 0;
    unsigned partitionNumber = 0;  // 0 for a whole disk
    std::uint64_t sizeBytes = 0;
    std::uint64_t start512 = 0;  // partition start in 512-byte units (sysfs always counts so)
    bool removable = false;      // of its disk
};

class BlockTopology {
  public:
    std::vector<BlockNode> nodes;
    std::map<std::string, std::vector<std::string>> slaves;  // stacked disk -> nodes below it

    const BlockNode* Find(unsigned major, unsigned minor) const;
    const BlockNode* FindName(std::string_view name) const;
    // The device of a mounted file system from the numbers the mount table gives; file
    // systems such as btrfs report an anonymous number, and then source ("/dev/sdb1") names
    // the block device.
    const BlockNode* FindMounted(unsigned major, unsigned minor, std::string_view source) const;
    bool HasPartitions(std::string_view disk) const;
    // The physical disks a device lives on: its own disk, or for a device stacked on others
    // (device mapper, RAID) the disks below it.
    std::set<std::string> BaseDisks(std::string_view name) const;
    // True when the device lives on removable disks only: a partition of a card, or a device
    // (an encrypted card, say) stacked on nothing but removable disks.
    bool OnRemovableDisks(std::string_view name) const;
};

BlockTopology ScanBlockTopology(const SysfsRoots& roots);

// A disk counts as removable when sysfs says so, or when it is an SD card in a built-in
// MMC slot (those report removable 0, while an eMMC chip reports the type "MMC").
bool DiskIsRemovable(const SysfsRoots& roots, std::string_view disk);

// The label udev publishes in /dev/disk/by-label for a device name ("" when none).
std::string DeviceLabel(const SysfsRoots& roots, std::string_view name);

// Decodes the \xNN escapes udev uses in link names.
std::string DecodeUdevName(std::string_view name);

}  // namespace kx
