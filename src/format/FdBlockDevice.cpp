#include "format/FdBlockDevice.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "format/MbrTable.h"
#include "format/SectorBuffer.h"

namespace kx::format {

std::string ErrnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool WriteAllAt(int fd, std::span<const std::uint8_t> bytes, std::uint64_t offset) {
    while (!bytes.empty()) {
        ssize_t written = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = EIO;
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
        offset += static_cast<std::uint64_t>(written);
    }
    return true;
}

bool ReadAllAt(int fd, std::span<std::uint8_t> bytes, std::uint64_t offset) {
    while (!bytes.empty()) {
        ssize_t got = ::pread(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got == 0) errno = EIO;  // the sector lies beyond the end
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(got));
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

bool FdBlockDevice::WriteSectors(std::uint64_t first, std::span<const std::uint8_t> bytes) {
    if (!fd_.valid() || sectorSize_ == 0) return Fail("the volume is not open");
    if (bytes.size() % sectorSize_ != 0) return Fail("a write of a partial sector");
    const std::uint64_t count = bytes.size() / sectorSize_;
    const std::uint64_t volumeSectors = volumeLength_ / sectorSize_;
    if (first > volumeSectors || count > volumeSectors - first)
        return Fail("a write past the end of the volume (sector " + std::to_string(first) + ")");
    if (!WriteAllAt(fd_.get(), bytes, volumeOffset_ + first * sectorSize_))
        return Fail(ErrnoText("writing sector " + std::to_string(first)));
    return true;
}

bool FdBlockDevice::EditPartitionType(std::optional<std::uint8_t> type) {
    if (tablePath_.empty()) return Fail("the volume has no partition table");
    UniqueFd table(::open(tablePath_.c_str(), (type ? O_RDWR : O_RDONLY) | O_CLOEXEC));
    if (!table.valid())
        return Fail(ErrnoText("opening the partition table on " + tablePath_.string()));
    SectorBuffer sector(kMbrSize);
    if (!sector.ok()) return Fail("out of memory");
    if (!ReadAllAt(table.get(), sector.span(), 0))
        return Fail(ErrnoText("reading the partition table on " + tablePath_.string()));
    std::string why;
    auto offset = LocatePartitionType(sector.span(), tableEntry_, tableStart_, why);
    if (!offset) return Fail(why);
    if (!type) return true;
    sector.span()[*offset] = *type;
    if (!WriteAllAt(table.get(), sector.span().subspan(*offset, 1), *offset) ||
        ::fsync(table.get()) != 0 || !table.Close())
        return Fail(ErrnoText("writing the partition type on " + tablePath_.string()));
    return true;
}

bool FdBlockDevice::Dismount() {
    if (!fd_.valid()) return Fail("the volume is not open");
    if (::fsync(fd_.get()) != 0) return Fail(ErrnoText("flushing the volume"));
    return true;
}

bool FdBlockDevice::Unlock() {
    if (!fd_.Close()) return Fail(ErrnoText("closing the volume"));
    return true;
}

}  // namespace kx::format
