#pragma once
// A removable block device or one of its partitions: its mounts are unmounted and it is opened
// exclusively (O_EXCL), so nothing else can mount or open it while the format runs. Sector
// size, length and geometry come from the kernel, the partition start from sysfs, and the
// partition type is set in the MBR of its disk.
#include "format/DeviceDescription.h"
#include "format/FdBlockDevice.h"

namespace kx::format {

class LinuxBlockDevice final : public FdBlockDevice {
  public:
    explicit LinuxBlockDevice(DeviceDescription description);

    bool Open() override;
    bool Lock() override;
    bool ReadGeometry(DriveGeometry& geometry) override;
    bool ReadPartitionInfo(PartitionInfo& partition) override;

  private:
    DeviceDescription description_;
};

}  // namespace kx::format
