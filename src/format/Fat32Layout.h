#pragma once
// The FAT32 volume the formatter writes: fixed cluster size of 128 sectors, 64 reserved
// sectors, two FATs, the root directory in cluster 2, the label "KX-TMQ4". Pure computations
// and sector images; no device access here.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kx::format {

inline constexpr std::uint32_t kSectorsPerCluster = 128;
inline constexpr std::uint32_t kReservedSectors = 64;
inline constexpr std::uint32_t kFatCount = 2;
inline constexpr std::uint32_t kRootCluster = 2;
inline constexpr std::uint32_t kFsInfoSector = 1;
inline constexpr std::uint32_t kBackupBootSector = 6;
inline constexpr std::uint32_t kBackupFsInfoSector = 7;
inline constexpr std::uint64_t kMinimumCount = 65536;       // T and C lower limit
inline constexpr std::uint64_t kMaximumCount = 0xFFFFFFFE;  // T and C upper limit
inline constexpr std::uint32_t kZeroPieceSectors = 128;     // zeroing writes at most this much
inline constexpr std::string_view kVolumeLabel = "KX-TMQ4";
inline constexpr std::size_t kLabelFieldSize = 11;

// The local time the volume id and the label entry's time stamp come from.
struct LocalTime {
    int year = 1980;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};
LocalTime CurrentLocalTime();

// low 16 bits: day + 256 * month + ms / 10 + 256 * second; high: minute + 256 * hour + year.
std::uint32_t VolumeId(const LocalTime& time);
// "1234-ABCD", as disk tools show a FAT volume serial.
std::string VolumeIdText(std::uint32_t id);

struct Fat32Geometry {
    std::uint32_t bytesPerSector = 0;  // S
    std::uint64_t totalSectors = 0;    // T
    std::uint32_t fatSectors = 0;      // F
    std::uint64_t clusterCount = 0;    // C
    std::uint64_t fatStart(int copy) const { return kReservedSectors + copy * fatSectors; }
    std::uint64_t dataStart() const {
        return kReservedSectors + std::uint64_t{kFatCount} * fatSectors;
    }
    // Reserved area, both FATs and the root directory's cluster.
    std::uint64_t zeroedSectors() const { return dataStart() + kSectorsPerCluster; }
};

// Why a layout cannot be made (empty when it can).
struct LayoutCheck {
    std::optional<Fat32Geometry> geometry;
    std::string reason;
};

// The layout of a volume of partitionBytes at sector size S: T = bytes / S within
// [65536, 0xFFFFFFFE], F = 4 (T - 64) / (128 S + 8) + 1, C = (T - 64 - 2F) / 128 within the same
// limits. When the FAT of that size has no entry for the last clusters (F * S < 4 (C + 2), which
// the plain formula gives for some sizes), F grows by one sector, so that no cluster is left
// without its FAT entry.
LayoutCheck ComputeLayout(std::uint64_t partitionBytes, std::uint32_t bytesPerSector);

// S must be 512, 1024, 2048 or 4096: the sector sizes a FAT boot sector may declare.
bool SectorSizeIsValid(std::uint32_t bytesPerSector);

struct DriveGeometry {
    std::uint32_t sectorsPerTrack = 0;
    std::uint32_t tracksPerCylinder = 0;  // heads
    std::uint32_t bytesPerSector = 0;
};

// Each writes exactly geometry.bytesPerSector bytes into sector (which must be that large).
void BuildBootSector(std::span<std::uint8_t> sector, const Fat32Geometry& layout,
                     const DriveGeometry& drive, std::uint32_t hiddenSectors,
                     std::uint32_t volumeId);
void BuildFsInfoSector(std::span<std::uint8_t> sector, const Fat32Geometry& layout);
void BuildFirstFatSector(std::span<std::uint8_t> sector);
// The root directory's first sector: one volume-label entry stamped with time.
void BuildRootDirectorySector(std::span<std::uint8_t> sector, const LocalTime& time);

}  // namespace kx::format
