#pragma once
// Formats a volume as FAT32 with 128-sector clusters and the label "KX-TMQ4".
#include <cstdint>
#include <string>

#include "format/BlockDevice.h"
#include "format/Fat32Layout.h"

namespace kx::format {

struct FormatResult {
    bool ok = false;
    std::string reason;  // why it failed (empty on success)
    // Whether anything was written before the failure: the card may then be unmountable
    // until it is formatted again.
    bool wroteSectors = false;
    Fat32Geometry layout;
    std::uint32_t volumeId = 0;
    bool partitionTypeSet = false;
};

// Opens, locks and measures the device, checks the layout, zeroes the reserved area, both FATs
// and the root cluster, writes boot sector, FSInfo (and their copies at 6 and 7), the first
// sector of each FAT and the root directory with the label entry, sets the MBR partition type
// 0x0C (a card without a table, hidden sectors 0, goes on without it), flushes and closes.
// Everything that can be checked is checked before the first write.
FormatResult FormatFat32(BlockDevice& device, const LocalTime& now);

}  // namespace kx::format
