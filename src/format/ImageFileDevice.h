#pragma once
// A plain image file as the volume: the whole file (a card without a partition table) or one
// primary MBR partition inside it. For tests and for people who prepare card images.
#include <filesystem>

#include "format/FdBlockDevice.h"

namespace kx::format {

// The geometry an image reports; disk tools assume it for LBA-addressed media.
inline constexpr std::uint32_t kImageSectorsPerTrack = 63;
inline constexpr std::uint32_t kImageHeads = 255;

class ImageFileDevice final : public FdBlockDevice {
  public:
    // partition 0: the whole file; 1-4: that MBR entry.
    ImageFileDevice(std::filesystem::path path, std::uint32_t sectorSize, unsigned partition);

    bool Open() override;
    bool Lock() override;
    bool ReadGeometry(DriveGeometry& geometry) override;
    bool ReadPartitionInfo(PartitionInfo& partition) override;

  private:
    std::filesystem::path path_;
    std::uint32_t requestedSectorSize_;
    unsigned partition_;
};

}  // namespace kx::format
