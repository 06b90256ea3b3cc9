#pragma once
// A zero-filled, page-aligned buffer of whole sectors (as raw device writes want them).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>

namespace kx::format {

class SectorBuffer {
  public:
    static constexpr std::size_t kAlignment = 4096;

    explicit SectorBuffer(std::size_t size) : size_(size) {
        std::size_t rounded = (size + kAlignment - 1) / kAlignment * kAlignment;
        bytes_.reset(static_cast<std::uint8_t*>(std::aligned_alloc(kAlignment, rounded)));
        if (bytes_) std::memset(bytes_.get(), 0, rounded);
    }
    bool ok() const { return bytes_ != nullptr; }
    std::span<std::uint8_t> span() { return {bytes_.get(), size_}; }
    std::span<const std::uint8_t> span() const { return {bytes_.get(), size_}; }

  private:
    struct Free {
        void operator()(std::uint8_t* bytes) const noexcept { std::free(bytes); }
    };
    std::unique_ptr<std::uint8_t, Free> bytes_;
    std::size_t size_;
};

}  // namespace kx::format
