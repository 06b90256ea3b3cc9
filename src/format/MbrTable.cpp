#include "format/MbrTable.h"

#include "containers/ByteOrder.h"

namespace kx::format {
std::optional<std::array<MbrEntry, kMbrPrimaryEntries>> ParseMbr(
    std::span<const std::uint8_t> sector) {
    if (sector.size() < kMbrSize || sector[510] != 0x55 || sector[511] != 0xAA) return {};
    std::array<MbrEntry, kMbrPrimaryEntries> entries{};
    for (unsigned i = 0; i < kMbrPrimaryEntries; ++i) {
        std::size_t offset = kMbrEntriesOffset + i * kMbrEntrySize;
        entries[i].type = sector[offset + kMbrEntryTypeOffset];
        entries[i].start = Le32(sector.data() + offset + 8);
        entries[i].count = Le32(sector.data() + offset + 12);
    }
    return entries;
}

bool IsExtendedType(std::uint8_t type) {
    return type == 0x05 || type == 0x0F || type == 0x85;
}

std::optional<std::size_t> LocatePartitionType(std::span<const std::uint8_t> sector,
                                               unsigned number, std::optional<std::uint64_t> start,
                                               std::string& why) {
    auto entries = ParseMbr(sector);
    if (!entries) {
        why = "sector 0 holds no MBR partition table";
        return {};
    }
    for (const MbrEntry& entry : *entries) {
        if (entry.type == kPartitionTypeGptProtective) {
            why = "the card has a GUID partition table, whose partition type cannot be set";
            return {};
        }
    }
    if (number < 1 || number > kMbrPrimaryEntries) {
        why = "partition " + std::to_string(number) +
              " is not a primary MBR partition (only 1 to 4 can be set)";
        return {};
    }
    const MbrEntry& entry = (*entries)[number - 1];
    if (entry.type == 0 || entry.count == 0 || entry.start == 0) {
        why = "MBR entry " + std::to_string(number) + " is empty";
        return {};
    }
    if (IsExtendedType(entry.type)) {
        why = "MBR entry " + std::to_string(number) + " is an extended partition";
        return {};
    }
    if (start && entry.start != *start) {
        why = "MBR entry " + std::to_string(number) + " starts at sector " +
              std::to_string(entry.start) + ", not at the volume's sector " +
              std::to_string(*start);
        return {};
    }
    return kMbrEntriesOffset + (number - 1) * kMbrEntrySize + kMbrEntryTypeOffset;
}

}  // namespace kx::format
