#include "containers/MediaFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kx {

std::unique_ptr<DiskFile> DiskFile::Open(const std::filesystem::path& path, Mode mode) {
    int flags = O_CLOEXEC;
    switch (mode) {
        case Mode::kRead:
            flags |= O_RDONLY;
            break;
        case Mode::kUpdate:
            flags |= O_RDWR;
            break;
        case Mode::kCreate:
            flags |= O_RDWR | O_CREAT | O_TRUNC;
            break;
    }
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<DiskFile>(new DiskFile(fd));
}

DiskFile::~DiskFile() {
    ::close(fd_);
}

std::uint64_t DiskFile::Size() const {
    struct stat info {};
    if (::fstat(fd_, &info) != 0) return 0;
    return std::uint64_t(info.st_size);
}

bool DiskFile::Read(std::uint64_t offset, void* data, std::size_t size) {
    auto* out = static_cast<char*>(data);
    while (size > 0) {
        ssize_t got = ::pread(fd_, out, size, off_t(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        out += got;
        size -= std::size_t(got);
        offset += std::uint64_t(got);
    }
    return true;
}

bool DiskFile::Write(std::uint64_t offset, const void* data, std::size_t size) {
    const auto* in = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t put = ::pwrite(fd_, in, size, off_t(offset));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        in += put;
        size -= std::size_t(put);
        offset += std::uint64_t(put);
    }
    return true;
}

bool DiskFile::Sync() {
    return ::fdatasync(fd_) == 0;
}

bool DiskFile::Truncate(std::uint64_t length) {
    return ::ftruncate(fd_, off_t(length)) == 0;
}

bool MemoryFile::Read(std::uint64_t offset, void* data, std::size_t size) {
    if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
    std::memcpy(data, bytes_.data() + offset, size);
    return true;
}

}  // namespace kx
