#pragma once
// Positional access to a media file. The reader needs reads only; the writer and the repair
// write at explicit offsets and make what they wrote durable before the next step (Sync), so a
// process that dies between steps leaves a file the next open can still repair.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

namespace kx {

class MediaFile {
  public:
    virtual ~MediaFile() = default;
    virtual std::uint64_t Size() const = 0;
    // Reads exactly size bytes at offset; false when fewer are there or the read fails.
    virtual bool Read(std::uint64_t offset, void* data, std::size_t size) = 0;
    // Writes every byte at offset; false on any failure.
    virtual bool Write(std::uint64_t offset, const void* data, std::size_t size) = 0;
    // Makes the writes so far durable (fdatasync); read-only sources return true.
    virtual bool Sync() = 0;
    virtual bool Truncate(std::uint64_t length) = 0;
};

// A file on disk through a descriptor. Opened read-only ("rb"), for update ("rb+") or created
// empty ("wb").
class DiskFile final : public MediaFile {
  public:
    enum class Mode { kRead, kUpdate, kCreate };
    static std::unique_ptr<DiskFile> Open(const std::filesystem::path& path, Mode mode);
    ~DiskFile() override;
    DiskFile(const DiskFile&) = delete;
    DiskFile& operator=(const DiskFile&) = delete;

    std::uint64_t Size() const override;
    bool Read(std::uint64_t offset, void* data, std::size_t size) override;
    bool Write(std::uint64_t offset, const void* data, std::size_t size) override;
    bool Sync() override;
    bool Truncate(std::uint64_t length) override;

  private:
    explicit DiskFile(int fd) : fd_(fd) {}
    int fd_;
};

// Bytes in memory, read-only: for parsing a buffer without touching any file (fuzzing).
class MemoryFile final : public MediaFile {
  public:
    explicit MemoryFile(std::string_view bytes) : bytes_(bytes) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    bool Read(std::uint64_t offset, void* data, std::size_t size) override;
    bool Write(std::uint64_t, const void*, std::size_t) override { return false; }
    bool Sync() override { return true; }
    bool Truncate(std::uint64_t) override { return false; }

  private:
    std::string_view bytes_;
};

}  // namespace kx
