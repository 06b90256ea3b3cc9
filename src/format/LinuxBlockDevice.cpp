#include "format/LinuxBlockDevice.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>

namespace kx::format {
namespace {

constexpr std::uint64_t kSysfsUnit = 512;

}  // namespace

LinuxBlockDevice::LinuxBlockDevice(DeviceDescription description)
    : description_(std::move(description)) {}

bool LinuxBlockDevice::Open() {
    // Deeper mount points first, so a mount inside another one goes before it.
    std::vector<std::filesystem::path> mounts = description_.mountPoints;
    std::sort(mounts.begin(), mounts.end(),
              [](const auto& a, const auto& b) { return a.native().size() > b.native().size(); });
    for (const std::filesystem::path& mount : mounts)
        if (::umount2(mount.c_str(), UMOUNT_NOFOLLOW) != 0 && errno != EINVAL)
            return Fail(ErrnoText("cannot unmount " + mount.string() + " (files may be open)"));

    fd_ = UniqueFd(::open(description_.device.c_str(), O_RDWR | O_EXCL | O_CLOEXEC));
    if (!fd_.valid())
        return Fail(errno == EBUSY
                        ? description_.device + " is in use (mounted or opened by another program)"
                        : ErrnoText("opening " + description_.device));
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0) return Fail(ErrnoText("examining " + description_.device));
    // The path must still name the device that was checked, not one that took its place.
    if (!S_ISBLK(info.st_mode) || ::major(info.st_rdev) != description_.major ||
        ::minor(info.st_rdev) != description_.minor)
        return Fail(description_.device + " is no longer the device that was checked");
    return true;
}

bool LinuxBlockDevice::Lock() {
    // The exclusive open is the lock: the kernel refuses mounts and other exclusive opens.
    return fd_.valid() ? true : Fail("the volume is not open");
}

bool LinuxBlockDevice::ReadGeometry(DriveGeometry& geometry) {
    int sectorSize = 0;
    if (::ioctl(fd_.get(), BLKSSZGET, &sectorSize) != 0 || sectorSize <= 0)
        return Fail(ErrnoText("reading the sector size of " + description_.device));
    hd_geometry drive{};
    if (::ioctl(fd_.get(), HDIO_GETGEO, &drive) != 0)
        return Fail(ErrnoText("reading the geometry of " + description_.device));
    geometry = DriveGeometry{drive.sectors, drive.heads, static_cast<std::uint32_t>(sectorSize)};
    sectorSize_ = static_cast<std::uint32_t>(sectorSize);
    return true;
}

bool LinuxBlockDevice::ReadPartitionInfo(PartitionInfo& partition) {
    std::uint64_t length = 0;
    if (::ioctl(fd_.get(), BLKGETSIZE64, &length) != 0)
        return Fail(ErrnoText("reading the size of " + description_.device));
    if (sectorSize_ == 0) return Fail("the sector size is not known yet");
    const std::uint64_t startBytes = description_.start512 * kSysfsUnit;
    if (startBytes % sectorSize_ != 0 || startBytes / sectorSize_ > 0xFFFFFFFFu)
        return Fail("the partition start of " + description_.device + " cannot be recorded");
    const std::uint32_t hidden = static_cast<std::uint32_t>(startBytes / sectorSize_);
    volumeOffset_ = 0;
    volumeLength_ = length;
    if (description_.partitionNumber != 0) {
        tablePath_ = description_.disk;
        tableEntry_ = description_.partitionNumber;
        tableStart_ = hidden;
    }
    partition = PartitionInfo{length, hidden};
    return true;
}

}  // namespace kx::format
