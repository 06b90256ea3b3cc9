#pragma once
// A text field of fixed capacity: kCapacity bytes and a terminating zero, as the camera's
// settings record holds its texts.
#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "camera/Utf8Text.h"

namespace kx {

template <std::size_t Capacity>
class FixedText {
  public:
    static constexpr std::size_t kCapacity = Capacity;

    // The text up to its first zero byte.
    std::string_view view() const {
        return std::string_view(bytes_.data(), ::strnlen(bytes_.data(), kCapacity));
    }
    bool empty() const { return bytes_[0] == '\0'; }

    // Stores text cut to the capacity on a UTF-8 character boundary, zero-filling the rest.
    // Returns false when the text had to be cut.
    bool Assign(std::string_view text) {
        std::string_view kept = CutUtf8(text, kCapacity);
        bytes_.fill('\0');
        std::memcpy(bytes_.data(), kept.data(), kept.size());
        return kept.size() == text.size();
    }

    // All kCapacity bytes of the field, zeros after the text included (the terminator is not
    // part of them), and their replacement as a whole.
    std::array<unsigned char, kCapacity> RawBytes() const {
        std::array<unsigned char, kCapacity> raw{};
        std::memcpy(raw.data(), bytes_.data(), kCapacity);
        return raw;
    }
    void SetRawBytes(const std::array<unsigned char, kCapacity>& raw) {
        std::memcpy(bytes_.data(), raw.data(), kCapacity);
        bytes_[kCapacity] = '\0';
    }

    bool operator==(const FixedText&) const = default;

  private:
    std::array<char, kCapacity + 1> bytes_{};
};

template <typename T>
struct IsFixedText : std::false_type {};
template <std::size_t Capacity>
struct IsFixedText<FixedText<Capacity>> : std::true_type {};

}  // namespace kx
