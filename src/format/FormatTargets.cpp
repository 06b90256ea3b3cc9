#include "format/FormatTargets.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/VolumeProvider.h"

namespace kx::format {
namespace {

namespace fs = std::filesystem;

fs::path Resolved(const fs::path& path) {
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(fs::absolute(path, error), error);
    return error ? path.lexically_normal() : resolved;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    while (true) {
        std::size_t end = text.find(separator);
        std::string_view part = Trim(text.substr(0, end));
        if (!part.empty()) parts.push_back(part);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return parts;
}

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
    auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc{} && result.ptr == text.data() + text.size();
}

bool ParseDeviceLine(std::string_view line, DeviceDescription& device, std::string& why) {
    device.isImage = true;
    device.removable = true;
    bool sizeGiven = false;
    for (std::string_view field : Split(line, ';')) {
        std::size_t equals = field.find('=');
        if (equals == std::string_view::npos) {
            why = "a field without '=': " + std::string(field);
            return false;
        }
        std::string_view key = Trim(field.substr(0, equals));
        std::string_view value = Trim(field.substr(equals + 1));
        bool ok = true;
        if (key == "device") {
            device.device = Resolved(fs::path(value)).string();
        } else if (key == "disk") {
            device.disk = Resolved(fs::path(value)).string();
        } else if (key == "removable") {
            ok = value == "0" || value == "1";
            device.removable = value == "1";
        } else if (key == "has_partitions") {
            ok = value == "0" || value == "1";
            device.diskHasPartitions = value == "1";
        } else if (key == "label") {
            device.label = value;
        } else if (key == "mounts") {
            for (std::string_view mount : Split(value, ','))
                device.mountPoints.push_back(Resolved(fs::path(mount)));
        } else if (key == "size") {
            ok = ParseNumber(value, device.sizeBytes);
            sizeGiven = true;
        } else if (key == "free") {
            ok = ParseNumber(value, device.freeBytes);
        } else if (key == "sector_size") {
            ok = ParseNumber(value, device.imageSectorSize);
        } else if (key == "partition") {
            ok = ParseNumber(value, device.imagePartition);
            device.partitionNumber = device.imagePartition;
        } else {
            why = "an unknown field: " + std::string(key);
            return false;
        }
        if (!ok) {
            why = "a bad value for " + std::string(key) + ": " + std::string(value);
            return false;
        }
    }
    if (device.device.empty()) {
        why = "a device without device=";
        return false;
    }
    if (device.disk.empty()) device.disk = device.device;
    if (!sizeGiven) {
        std::error_code error;
        std::uintmax_t size = fs::file_size(device.device, error);
        device.sizeBytes = error ? 0 : size;
    }
    return true;
}

}  // namespace

DeviceCatalog ScanSystemDevices(const SysfsRoots& roots, const std::vector<MountEntry>& mounts) {
    const BlockTopology topology = ScanBlockTopology(roots);
    auto devicePath = [&](const std::string& name) { return (roots.dev / name).string(); };

    DeviceCatalog catalog;
    for (const MountEntry& mount : mounts) {
        MountOwner owner{mount.mountPoint, {}};
        if (const BlockNode* node = topology.FindMounted(mount.major, mount.minor, mount.source)) {
            // A file system on a stacked device lives on that device and on the disks below.
            owner.disks.insert(devicePath(node->disk));
            for (const std::string& disk : topology.BaseDisks(node->name))
                owner.disks.insert(devicePath(disk));
        }
        catalog.mounts.push_back(std::move(owner));
    }

    for (const BlockNode& node : topology.nodes) {
        DeviceDescription device;
        device.device = devicePath(node.name);
        device.disk = devicePath(node.disk);
        device.major = node.major;
        device.minor = node.minor;
        device.partitionNumber = node.partitionNumber;
        device.start512 = node.start512;
        device.removable = node.removable;
        device.diskHasPartitions = node.partitionNumber == 0 && topology.HasPartitions(node.disk);
        device.sizeBytes = node.sizeBytes;
        device.label = DeviceLabel(roots, node.name);
        for (const MountEntry& mount : mounts)
            if (mount.major == node.major && mount.minor == node.minor)
                device.mountPoints.push_back(mount.mountPoint);
        std::uint64_t ignoredSize = 0;
        if (!device.mountPoints.empty())
            QueryVolumeSpace(device.mountPoints.front(), device.freeBytes, ignoredSize);
        catalog.devices.push_back(std::move(device));
    }
    return catalog;
}

std::optional<DeviceCatalog> ParseDeviceList(std::string_view text, std::string& why) {
    DeviceCatalog catalog;
    int lineNumber = 0;
    for (std::string_view line : Split(text, '\n')) {
        ++lineNumber;
        if (line.starts_with('#')) continue;
        DeviceDescription device;
        if (!ParseDeviceLine(line, device, why)) {
            why = "device list line " + std::to_string(lineNumber) + ": " + why;
            return std::nullopt;
        }
        for (const fs::path& mount : device.mountPoints)
            catalog.mounts.push_back(MountOwner{mount, {device.disk}});
        catalog.devices.push_back(std::move(device));
    }
    return catalog;
}

std::optional<DeviceCatalog> LoadActiveCatalog(std::string& why) {
    const char* listFile = std::getenv(kFormatDevicesVariable);
    if (!listFile) return ScanSystemDevices(SysfsRoots{}, ReadMountTable());
    std::ifstream in(listFile, std::ios::binary);
    if (!in) {
        why = std::string("cannot read the device list ") + listFile;
        return std::nullopt;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ParseDeviceList(text, why);
}

std::vector<DeviceDescription> OfferedDevices(const DeviceCatalog& catalog) {
    std::vector<DeviceDescription> offered;
    for (const DeviceDescription& device : catalog.devices)
        if (device.removable && device.sizeBytes > 0 && !device.diskHasPartitions)
            offered.push_back(device);
    return offered;
}

const DeviceDescription* FindDevice(const DeviceCatalog& catalog, const fs::path& target) {
    struct stat info {};
    const bool isBlock = ::stat(target.c_str(), &info) == 0 && S_ISBLK(info.st_mode);
    const std::string resolved = Resolved(target).string();
    for (const DeviceDescription& device : catalog.devices) {
        if (device.isImage ? device.device == resolved
                           : isBlock && device.major == ::major(info.st_rdev) &&
                                 device.minor == ::minor(info.st_rdev))
            return &device;
    }
    return nullptr;
}

std::vector<fs::path> ProtectedFolders(const fs::path& programFolder) {
    std::vector<fs::path> folders;
    for (std::string_view folder : kSystemFolders) folders.push_back(Resolved(fs::path(folder)));
    if (!programFolder.empty()) folders.push_back(Resolved(programFolder));
    return folders;
}

TargetVerdict CheckFormatTarget(const DeviceCatalog& catalog, const DeviceDescription& device,
                                const std::vector<fs::path>& protectedFolders) {
    TargetVerdict verdict;
    std::vector<MountEntry> mountPoints(catalog.mounts.size());
    for (std::size_t i = 0; i < catalog.mounts.size(); ++i)
        mountPoints[i].mountPoint = catalog.mounts[i].mountPoint;
    for (const fs::path& folder : protectedFolders) {
        int holder = MountHolding(mountPoints, folder);
        if (holder >= 0 && catalog.mounts[holder].disks.count(device.disk)) {
            verdict.holdsProtectedFolder = true;
            verdict.reason = device.device + " is on the disk that holds " + folder.string() +
                             " (mounted at " + catalog.mounts[holder].mountPoint.string() +
                             "); it is never formatted";
            return verdict;
        }
    }
    if (!device.removable) {
        verdict.reason = device.device +
                         " is not a removable device; only removable cards are "
                         "formatted";
        return verdict;
    }
    if (device.diskHasPartitions) {
        verdict.reason =
            device.device + " holds a partition table in use; format one of its partitions instead";
        return verdict;
    }
    if (device.sizeBytes == 0) {
        verdict.reason = device.device + " holds no medium";
        return verdict;
    }
    verdict.allowed = true;
    return verdict;
}

}  // namespace kx::format
