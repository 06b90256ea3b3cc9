#pragma once
// The raw volume the formatter writes, step by step in the order the format uses them. Each
// step returns false on failure and leaves a sentence saying why in error().
#include <cstdint>
#include <span>
#include <string>

#include "format/Fat32Layout.h"

namespace kx::format {

struct PartitionInfo {
    std::uint64_t lengthBytes = 0;
    std::uint32_t hiddenSectors = 0;  // sectors in front of the volume; 0 without a table
};

inline constexpr std::uint8_t kPartitionTypeFat32Lba = 0x0C;

class BlockDevice {
  public:
    virtual ~BlockDevice() = default;

    // Gets the volume ready for exclusive writing (unmounted, opened).
    virtual bool Open() = 0;
    virtual bool Lock() = 0;
    virtual bool ReadGeometry(DriveGeometry& geometry) = 0;
    virtual bool ReadPartitionInfo(PartitionInfo& partition) = 0;
    // Whether SetPartitionType would find the volume's entry in a partition table; asked
    // before anything is written, so a card is never left half-written for want of it.
    virtual bool CanSetPartitionType() = 0;
    // bytes.size() is a whole number of sectors; first is counted from the volume's start.
    virtual bool WriteSectors(std::uint64_t first, std::span<const std::uint8_t> bytes) = 0;
    virtual bool SetPartitionType(std::uint8_t type) = 0;
    // Everything written reaches the device.
    virtual bool Dismount() = 0;
    // Releases and closes the volume.
    virtual bool Unlock() = 0;
    // Closes the volume after a failure (nothing more is written).
    virtual void Close() = 0;

    const std::string& error() const { return error_; }

  protected:
    bool Fail(std::string reason) {
        error_ = std::move(reason);
        return false;
    }

  private:
    std::string error_;
};

}  // namespace kx::format
