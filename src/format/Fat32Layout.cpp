#include "format/Fat32Layout.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "containers/ByteOrder.h"

namespace kx::format {
namespace {

void PutText(std::span<std::uint8_t> bytes, std::size_t offset, std::string_view text) {
    std::memcpy(bytes.data() + offset, text.data(), text.size());
}

// The label padded with blanks to the 11 bytes of a label field or directory entry name.
void PutLabel(std::span<std::uint8_t> bytes, std::size_t offset) {
    std::memset(bytes.data() + offset, ' ', kLabelFieldSize);
    PutText(bytes, offset, kVolumeLabel);
}

constexpr std::uint32_t kMinimumSectorSize = 512;
constexpr std::uint32_t kMaximumSectorSize = 4096;
constexpr std::uint8_t kMediaFixedDisk = 0xF8;
constexpr std::uint8_t kDriveNumber = 0x80;
constexpr std::uint8_t kExtendedBootSignature = 0x29;
constexpr std::uint8_t kAttributeVolumeLabel = 0x08;
constexpr std::uint32_t kFsInfoLeadSignature = 0x41615252;
constexpr std::uint32_t kFsInfoStructSignature = 0x61417272;
constexpr std::uint32_t kFsInfoTrailSignature = 0xAA550000;
constexpr std::uint32_t kFatMediaEntry = 0x0FFFFFF8;
constexpr std::uint32_t kFatEndOfChain = 0x0FFFFFFF;

std::uint64_t ClusterCount(std::uint64_t totalSectors, std::uint64_t fatSectors) {
    std::uint64_t used = kReservedSectors + kFatCount * fatSectors;
    return totalSectors > used ? (totalSectors - used) / kSectorsPerCluster : 0;
}

}  // namespace

LocalTime CurrentLocalTime() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    ::localtime_r(&now.tv_sec, &local);
    return LocalTime{local.tm_year + 1900,
                     local.tm_mon + 1,
                     local.tm_mday,
                     local.tm_hour,
                     local.tm_min,
                     local.tm_sec,
                     static_cast<int>(now.tv_nsec / 1000000)};
}

std::uint32_t VolumeId(const LocalTime& t) {
    std::uint32_t low =
        static_cast<std::uint32_t>(t.day + 256 * t.month + t.millisecond / 10 + 256 * t.second) &
        0xFFFF;
    std::uint32_t high = static_cast<std::uint32_t>(t.minute + 256 * t.hour + t.year) & 0xFFFF;
    return high << 16 | low;
}

std::string VolumeIdText(std::uint32_t id) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X-%04X", id >> 16, id & 0xFFFF);
    return text;
}

bool SectorSizeIsValid(std::uint32_t bytesPerSector) {
    return bytesPerSector >= kMinimumSectorSize && bytesPerSector <= kMaximumSectorSize &&
           (bytesPerSector & (bytesPerSector - 1)) == 0;
}

LayoutCheck ComputeLayout(std::uint64_t partitionBytes, std::uint32_t bytesPerSector) {
    LayoutCheck check;
    if (!SectorSizeIsValid(bytesPerSector)) {
        check.reason = "unsupported sector size " + std::to_string(bytesPerSector);
        return check;
    }
    const std::uint64_t total = partitionBytes / bytesPerSector;
    if (total < kMinimumCount || total > kMaximumCount) {
        check.reason = "the volume has " + std::to_string(total) +
                       " sectors; FAT32 with 128-sector clusters needs 65536 to 4294967294";
        return check;
    }
    std::uint64_t fat = 4 * (total - kReservedSectors) / (128ull * bytesPerSector + 8) + 1;
    std::uint64_t clusters = ClusterCount(total, fat);
    // Each FAT holds the two reserved entries and one per cluster.
    while (fat * bytesPerSector < 4 * (clusters + 2)) clusters = ClusterCount(total, ++fat);

    if (clusters < kMinimumCount || clusters > kMaximumCount) {
        check.reason = "the volume has room for " + std::to_string(clusters) +
                       " clusters of 128 sectors; FAT32 needs at least 65536 (a card of about "
                       "4 GiB or less cannot be formatted this way)";
        return check;
    }
    check.geometry =
        Fat32Geometry{bytesPerSector, total, static_cast<std::uint32_t>(fat), clusters};
    return check;
}

void BuildBootSector(std::span<std::uint8_t> sector, const Fat32Geometry& layout,
                     const DriveGeometry& drive, std::uint32_t hiddenSectors,
                     std::uint32_t volumeId) {
    const std::uint32_t size = layout.bytesPerSector;
    std::fill_n(sector.begin(), size, std::uint8_t{0});
    sector[0] = 0xEB;
    sector[1] = 0x5A;
    sector[2] = 0x90;
    PutText(sector, 3, "MSWIN4.1");
    PutLe16(sector.data() + 11, size);
    sector[13] = kSectorsPerCluster;
    PutLe16(sector.data() + 14, kReservedSectors);
    sector[16] = kFatCount;
    sector[21] = kMediaFixedDisk;
    PutLe16(sector.data() + 24, std::min<std::uint32_t>(drive.sectorsPerTrack, 0xFFFF));
    PutLe16(sector.data() + 26, std::min<std::uint32_t>(drive.tracksPerCylinder, 0xFFFF));
    PutLe32(sector.data() + 28, hiddenSectors);
    PutLe32(sector.data() + 32, static_cast<std::uint32_t>(layout.totalSectors));
    PutLe32(sector.data() + 36, layout.fatSectors);
    PutLe32(sector.data() + 44, kRootCluster);
    PutLe16(sector.data() + 48, kFsInfoSector);
    PutLe16(sector.data() + 50, kBackupBootSector);
    sector[64] = kDriveNumber;
    sector[66] = kExtendedBootSignature;
    PutLe32(sector.data() + 67, volumeId);
    PutLabel(sector, 71);
    PutText(sector, 82, "FAT32   ");
    sector[510] = 0x55;
    sector[511] = 0xAA;
    if (size != 512) {
        sector[size - 2] = 0x55;
        sector[size - 1] = 0xAA;
    }
}

void BuildFsInfoSector(std::span<std::uint8_t> sector, const Fat32Geometry& layout) {
    std::fill_n(sector.begin(), layout.bytesPerSector, std::uint8_t{0});
    PutLe32(sector.data() + 0, kFsInfoLeadSignature);
    PutLe32(sector.data() + 484, kFsInfoStructSignature);
    PutLe32(sector.data() + 488,
            static_cast<std::uint32_t>(layout.clusterCount - 1));  // root uses one
    PutLe32(sector.data() + 492, kRootCluster + 1);
    PutLe32(sector.data() + 508, kFsInfoTrailSignature);
}

void BuildFirstFatSector(std::span<std::uint8_t> sector) {
    std::fill(sector.begin(), sector.end(), std::uint8_t{0});
    PutLe32(sector.data() + 0, kFatMediaEntry);
    PutLe32(sector.data() + 4, kFatEndOfChain);
    PutLe32(sector.data() + 8, kFatEndOfChain);  // the root directory's single cluster
}

void BuildRootDirectorySector(std::span<std::uint8_t> sector, const LocalTime& time) {
    std::fill(sector.begin(), sector.end(), std::uint8_t{0});
    PutLabel(sector, 0);
    sector[11] = kAttributeVolumeLabel;
    const int year = std::clamp(time.year, 1980, 2107);
    const std::uint32_t fatTime = static_cast<std::uint32_t>(
        (time.hour & 31) << 11 | (time.minute & 63) << 5 | ((time.second / 2) & 31));
    const std::uint32_t fatDate =
        static_cast<std::uint32_t>((year - 1980) << 9 | (time.month & 15) << 5 | (time.day & 31));
    PutLe16(sector.data() + 22, fatTime);
    PutLe16(sector.data() + 24, fatDate);
}

}  // namespace kx::format
