#pragma once
// The four primary entries of an MBR partition table in sector 0.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kx::format {

inline constexpr std::size_t kMbrSize = 512;
inline constexpr std::size_t kMbrEntriesOffset = 446;
inline constexpr std::size_t kMbrEntrySize = 16;
inline constexpr std::size_t kMbrEntryTypeOffset = 4;
inline constexpr unsigned kMbrPrimaryEntries = 4;
inline constexpr std::uint8_t kPartitionTypeGptProtective = 0xEE;

struct MbrEntry {
    std::uint8_t type = 0;
    std::uint32_t start = 0;  // first sector
    std::uint32_t count = 0;  // sectors
};

// The entries when sector 0 ends in the signature 55 AA; nothing otherwise.
std::optional<std::array<MbrEntry, kMbrPrimaryEntries>> ParseMbr(
    std::span<const std::uint8_t> sector);

bool IsExtendedType(std::uint8_t type);

// Finds primary entry number (1-4) of a table and checks that it describes a usable partition
// starting at start (when start is given); returns the byte offset of its type byte, or
// nothing with the reason in why.
std::optional<std::size_t> LocatePartitionType(std::span<const std::uint8_t> sector,
                                               unsigned number, std::optional<std::uint64_t> start,
                                               std::string& why);

}  // namespace kx::format
