#pragma once
// The devices the formatter may write, and the rules that keep it from erasing anything but a
// removable card: only removable devices are offered or accepted, and a device that holds a
// mounted system folder or the program's own folder is refused outright.
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "format/DeviceDescription.h"
#include "platform/MountTable.h"
#include "platform/SysBlock.h"

namespace kx::format {

// KX_FORMAT_DEVICES=file replaces the machine's block devices by the devices that file
// describes (tests and the demo): one device per line, fields "key=value" separated by ';':
//   device=/path/card.img; removable=1; label=KX-TMQ4; mounts=/media/card,/mnt/x;
//   disk=/path/card.img; size=BYTES; free=BYTES; sector_size=512; partition=1;
//   has_partitions=0
// Each device stands for an image file; '#' starts a comment line.
inline constexpr const char* kFormatDevicesVariable = "KX_FORMAT_DEVICES";

// The system folders whose device is never formatted.
inline constexpr std::string_view kSystemFolders[] = {"/", "/usr", "/home", "/boot"};

struct MountOwner {
    std::filesystem::path mountPoint;
    std::set<std::string> disks;  // whole disks below the mounted file system ("/dev/sda")
};

struct DeviceCatalog {
    std::vector<DeviceDescription> devices;  // removable or not
    std::vector<MountOwner> mounts;          // every mount, in mount-table order
};

// The machine's block devices from sysfs and the mount table.
DeviceCatalog ScanSystemDevices(const SysfsRoots& roots, const std::vector<MountEntry>& mounts);
// A device list as KX_FORMAT_DEVICES describes it; nothing (and why) when a line is malformed.
std::optional<DeviceCatalog> ParseDeviceList(std::string_view text, std::string& why);
// The list of KX_FORMAT_DEVICES when it is set, otherwise the machine's devices.
std::optional<DeviceCatalog> LoadActiveCatalog(std::string& why);

// The devices offered for formatting: removable, with a medium, and not a whole disk whose
// partitions are in use (those partitions are offered instead).
std::vector<DeviceDescription> OfferedDevices(const DeviceCatalog& catalog);

// The catalog's entry for a path given by the user (a device node, a link to one, or an image
// file of a test list); nothing when the catalog does not know it.
const DeviceDescription* FindDevice(const DeviceCatalog& catalog,
                                    const std::filesystem::path& target);

// "/", "/usr", "/home", "/boot" and the program folder.
std::vector<std::filesystem::path> ProtectedFolders(const std::filesystem::path& programFolder);

struct TargetVerdict {
    bool allowed = false;
    // The device holds the system or this program: the user is shown "format_reject1" and
    // "format_reject2".
    bool holdsProtectedFolder = false;
    std::string reason;
};

TargetVerdict CheckFormatTarget(const DeviceCatalog& catalog, const DeviceDescription& device,
                                const std::vector<std::filesystem::path>& protectedFolders);

}  // namespace kx::format
