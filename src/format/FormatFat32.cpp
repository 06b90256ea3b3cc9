#include "format/FormatFat32.h"

#include <algorithm>

#include "app/Trace.h"
#include "format/SectorBuffer.h"

namespace kx::format {
namespace {

FormatResult Failed(FormatResult result, BlockDevice& device, std::string reason, int place) {
    device.Close();
    result.ok = false;
    result.reason = std::move(reason);
    Trace("FormatFat32", place, "%s\n", result.reason.c_str());
    return result;
}

}  // namespace

FormatResult FormatFat32(BlockDevice& device, const LocalTime& now) {
    FormatResult result;
    result.volumeId = VolumeId(now);

    if (!device.Open()) return Failed(result, device, device.error(), 1);
    DriveGeometry drive;
    PartitionInfo partition;
    if (!device.Lock() || !device.ReadGeometry(drive) || !device.ReadPartitionInfo(partition))
        return Failed(result, device, device.error(), 2);

    const std::uint32_t sectorSize = drive.bytesPerSector;
    LayoutCheck check = ComputeLayout(partition.lengthBytes, sectorSize);
    if (!check.geometry) return Failed(result, device, check.reason, 3);
    const Fat32Geometry layout = *check.geometry;
    result.layout = layout;

    SectorBuffer boot(sectorSize), fsInfo(sectorSize), fat(sectorSize), root(sectorSize),
        zero(std::size_t{kZeroPieceSectors} * sectorSize);
    if (!boot.ok() || !fsInfo.ok() || !fat.ok() || !root.ok() || !zero.ok())
        return Failed(result, device, "out of memory for the sector buffers", 4);
    BuildBootSector(boot.span(), layout, drive, partition.hiddenSectors, result.volumeId);
    BuildFsInfoSector(fsInfo.span(), layout);
    BuildFirstFatSector(fat.span());
    BuildRootDirectorySector(root.span(), now);

    // A partitioned card whose entry cannot be set would fail only after it has been erased.
    const bool typeSettable = device.CanSetPartitionType();
    if (!typeSettable && partition.hiddenSectors != 0)
        return Failed(result, device, "cannot set the partition type: " + device.error(), 5);

    result.wroteSectors = true;
    const std::uint64_t zeroed = layout.zeroedSectors();
    for (std::uint64_t sector = 0; sector < zeroed; sector += kZeroPieceSectors) {
        const std::uint64_t count = std::min<std::uint64_t>(kZeroPieceSectors, zeroed - sector);
        if (!device.WriteSectors(sector, zero.span().first(count * sectorSize)))
            return Failed(result, device, device.error(), 6);
    }
    const std::pair<std::uint64_t, const SectorBuffer*> writes[] = {
        {0, &boot},
        {kFsInfoSector, &fsInfo},
        {kBackupBootSector, &boot},
        {kBackupFsInfoSector, &fsInfo},
        {layout.fatStart(0), &fat},
        {layout.fatStart(1), &fat},
        {layout.dataStart(), &root},
    };
    for (const auto& [sector, buffer] : writes)
        if (!device.WriteSectors(sector, buffer->span()))
            return Failed(result, device, device.error(), 7);

    result.partitionTypeSet = device.SetPartitionType(kPartitionTypeFat32Lba);
    if (!result.partitionTypeSet && partition.hiddenSectors != 0)
        return Failed(result, device, "cannot set the partition type: " + device.error(), 8);

    if (!device.Dismount()) return Failed(result, device, device.error(), 9);
    if (!device.Unlock()) return Failed(result, device, device.error(), 10);
    result.ok = true;
    return result;
}

}  // namespace kx::format
