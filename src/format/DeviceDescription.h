#pragma once
// One block device the formatter may be pointed at, as the device list describes it.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kx::format {

struct DeviceDescription {
    std::string device;  // what is formatted: "/dev/sdb1", or an image file in a test list
    std::string disk;    // the whole disk it belongs to: "/dev/sdb" (itself for a whole disk)
    unsigned major = 0;  // device numbers (0:0 for an image file)
    unsigned minor = 0;
    unsigned partitionNumber = 0;  // 0 for a whole disk
    std::uint64_t start512 = 0;    // partition start in 512-byte units
    bool removable = false;
    bool diskHasPartitions = false;  // a whole disk whose partition table is in use
    std::uint64_t sizeBytes = 0;
    std::string label;
    std::uint64_t freeBytes = 0;
    std::vector<std::filesystem::path> mountPoints;  // where it is mounted now
    // An image file standing for a device in a test list: its sector size and MBR entry.
    bool isImage = false;
    std::uint32_t imageSectorSize = 512;
    unsigned imagePartition = 0;
};

}  // namespace kx::format
