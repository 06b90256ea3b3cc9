#pragma once
// Big-endian integers as MP4 stores them, little-endian ones as AVI, FAT and the camera's
// version files store them, and four-character codes as 32-bit values.
#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

constexpr std::uint32_t FourCC(const char (&code)[5]) {
    return (std::uint32_t(std::uint8_t(code[0])) << 24) |
           (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

inline std::uint16_t GetU16(const std::uint8_t* p) {
    return std::uint16_t((p[0] << 8) | p[1]);
}
inline std::uint32_t GetU24(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2];
}
inline std::uint32_t GetU32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}
inline std::uint64_t GetU64(const std::uint8_t* p) {
    return (std::uint64_t(GetU32(p)) << 32) | GetU32(p + 4);
}

inline void PutU16(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v >> 8);
    p[1] = std::uint8_t(v);
}
inline void PutU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}

// Little-endian field access.
inline std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void PutLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// An output buffer of big-endian fields; boxes are opened, filled and closed (size patched).
class ByteWriter {
  public:
    void U8(std::uint32_t v) { bytes_.push_back(char(v)); }
    void U16(std::uint32_t v) {
        U8(v >> 8);
        U8(v);
    }
    void U24(std::uint32_t v) {
        U8(v >> 16);
        U16(v);
    }
    void U32(std::uint32_t v) {
        U16(v >> 16);
        U16(v);
    }
    void U64(std::uint64_t v) {
        U32(std::uint32_t(v >> 32));
        U32(std::uint32_t(v));
    }
    void Bytes(std::string_view data) { bytes_.append(data); }
    void Bytes(const void* data, std::size_t size) {
        bytes_.append(static_cast<const char*>(data), size);
    }
    void Zeros(std::size_t count) { bytes_.append(count, '\0'); }
    // Starts a box with a placeholder size; returns its position for Close.
    std::size_t Open(std::uint32_t type) {
        std::size_t start = bytes_.size();
        U32(0);
        U32(type);
        return start;
    }
    void Close(std::size_t start) {
        PutU32(reinterpret_cast<std::uint8_t*>(bytes_.data() + start),
               std::uint32_t(bytes_.size() - start));
    }
    void PatchU32(std::size_t at, std::uint32_t v) {
        PutU32(reinterpret_cast<std::uint8_t*>(bytes_.data() + at), v);
    }
    std::size_t size() const { return bytes_.size(); }
    const std::string& str() const { return bytes_; }
    std::string& str() { return bytes_; }

  private:
    std::string bytes_;
};

}  // namespace kx
