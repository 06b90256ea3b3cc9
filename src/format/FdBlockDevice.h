#pragma once
// What block devices and image files share: positioned writes inside the volume's bounds, the
// partition type byte in an MBR, flushing and closing.
#include <filesystem>
#include <optional>

#include "format/BlockDevice.h"
#include "platform/UniqueFd.h"

namespace kx::format {

class FdBlockDevice : public BlockDevice {
  public:
    bool CanSetPartitionType() override { return EditPartitionType(std::nullopt); }
    bool WriteSectors(std::uint64_t first, std::span<const std::uint8_t> bytes) override;
    bool SetPartitionType(std::uint8_t type) override { return EditPartitionType(type); }
    bool Dismount() override;
    bool Unlock() override;
    void Close() override { fd_ = UniqueFd(); }

  protected:
    // What the subclass tells once it knows the volume.
    UniqueFd fd_;
    std::uint32_t sectorSize_ = 0;
    std::uint64_t volumeOffset_ = 0;  // bytes in front of the volume inside the open file
    std::uint64_t volumeLength_ = 0;  // bytes
    // Where the MBR entry of the volume lives (empty path: no partition table).
    std::filesystem::path tablePath_;
    unsigned tableEntry_ = 0;
    std::uint64_t tableStart_ = 0;  // the entry's start sector, checked before it is changed

  private:
    // Checks the entry (type empty) or changes its type byte.
    bool EditPartitionType(std::optional<std::uint8_t> type);
};

// Writes all of bytes at offset, retrying short writes; errno is kept on failure.
bool WriteAllAt(int fd, std::span<const std::uint8_t> bytes, std::uint64_t offset);
bool ReadAllAt(int fd, std::span<std::uint8_t> bytes, std::uint64_t offset);
// "what: strerror(errno)".
std::string ErrnoText(const std::string& what);

}  // namespace kx::format
