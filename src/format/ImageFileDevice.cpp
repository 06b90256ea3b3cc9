#include "format/ImageFileDevice.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

#include "format/MbrTable.h"
#include "format/SectorBuffer.h"

namespace kx::format {

ImageFileDevice::ImageFileDevice(std::filesystem::path path, std::uint32_t sectorSize,
                                 unsigned partition)
    : path_(std::move(path)), requestedSectorSize_(sectorSize), partition_(partition) {}

bool ImageFileDevice::Open() {
    fd_ = UniqueFd(::open(path_.c_str(), O_RDWR | O_CLOEXEC));
    if (!fd_.valid()) return Fail(ErrnoText("opening " + path_.string()));
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0) return Fail(ErrnoText("examining " + path_.string()));
    if (!S_ISREG(info.st_mode)) return Fail(path_.string() + " is not a plain image file");
    return true;
}

bool ImageFileDevice::Lock() {
    // Keeps two formatters from writing the same image at once.
    if (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0)
        return Fail(errno == EWOULDBLOCK ? path_.string() + " is being formatted by another program"
                                         : ErrnoText("locking " + path_.string()));
    return true;
}

bool ImageFileDevice::ReadGeometry(DriveGeometry& geometry) {
    if (!SectorSizeIsValid(requestedSectorSize_))
        return Fail("unsupported sector size " + std::to_string(requestedSectorSize_));
    geometry = DriveGeometry{kImageSectorsPerTrack, kImageHeads, requestedSectorSize_};
    sectorSize_ = requestedSectorSize_;
    return true;
}

bool ImageFileDevice::ReadPartitionInfo(PartitionInfo& partition) {
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0) return Fail(ErrnoText("examining " + path_.string()));
    const std::uint64_t fileBytes = static_cast<std::uint64_t>(info.st_size);
    if (partition_ == 0) {
        volumeOffset_ = 0;
        volumeLength_ = fileBytes;
        partition = PartitionInfo{fileBytes, 0};
        return true;
    }

    if (sectorSize_ == 0) return Fail("the sector size is not known yet");
    SectorBuffer sector(kMbrSize);
    if (!sector.ok()) return Fail("out of memory");
    if (!ReadAllAt(fd_.get(), sector.span(), 0))
        return Fail(ErrnoText("reading the partition table of " + path_.string()));
    std::string why;
    if (!LocatePartitionType(sector.span(), partition_, std::nullopt, why)) return Fail(why);
    const MbrEntry entry = (*ParseMbr(sector.span()))[partition_ - 1];
    const std::uint64_t start = std::uint64_t{entry.start} * sectorSize_;
    const std::uint64_t length = std::uint64_t{entry.count} * sectorSize_;
    if (start > fileBytes || length > fileBytes - start)
        return Fail("partition " + std::to_string(partition_) + " reaches past the end of " +
                    path_.string());
    volumeOffset_ = start;
    volumeLength_ = length;
    tablePath_ = path_;
    tableEntry_ = partition_;
    tableStart_ = entry.start;
    partition = PartitionInfo{length, entry.start};
    return true;
}

}  // namespace kx::format
