#pragma once
// The box walk shared by every container of the reader, and a bounds-checked field reader.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "containers/ByteOrder.h"
#include "containers/MediaFile.h"
#include "containers/Mp4File.h"

namespace kx {

struct BoxHeader {
    std::uint32_t size = 0;
    std::uint32_t type = 0;
    std::uint64_t start = 0;    // the size field
    std::uint64_t payload = 0;  // just past the header
    std::uint64_t end = 0;      // start + size, cut to the container's end
    BoxPair Pair() const { return {size, std::uint32_t(payload)}; }
};

// Visits the children in [begin, end). A size below 8, a failed read or a header that would
// end at or beyond the container's end stops the walk; visit returns false to stop it too.
// Positions past 4 GiB are outside what the format's 32-bit positions can hold.
template <class Visit>
void WalkBoxes(MediaFile& file, std::uint64_t begin, std::uint64_t end, Visit&& visit) {
    std::uint64_t position = begin;
    while (position + 8 < end && position + 8 <= UINT32_MAX) {
        std::uint8_t head[8];
        if (!file.Read(position, head, sizeof head)) return;
        BoxHeader box;
        box.size = GetU32(head);
        if (box.size < 8) return;
        box.type = GetU32(head + 4);
        box.start = position;
        box.payload = position + 8;
        box.end = std::min<std::uint64_t>(position + box.size, end);
        if (!visit(box)) return;
        position += box.size;
    }
}

// Reads fixed fields from a buffer; any read past its end clears ok() and yields zeros.
class FieldReader {
  public:
    FieldReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    explicit FieldReader(const std::vector<std::uint8_t>& bytes)
        : FieldReader(bytes.data(), bytes.size()) {}
    bool ok() const { return ok_; }
    std::size_t remaining() const { return size_ - at_; }
    std::size_t position() const { return at_; }
    const std::uint8_t* Take(std::size_t count) {
        if (!ok_ || count > remaining()) {
            ok_ = false;
            return nullptr;
        }
        const std::uint8_t* p = data_ + at_;
        at_ += count;
        return p;
    }
    void Skip(std::size_t count) { Take(count); }
    std::uint8_t U8() {
        auto* p = Take(1);
        return p ? *p : 0;
    }
    std::uint16_t U16() {
        auto* p = Take(2);
        return p ? GetU16(p) : 0;
    }
    std::uint32_t U24() {
        auto* p = Take(3);
        return p ? GetU24(p) : 0;
    }
    std::uint32_t U32() {
        auto* p = Take(4);
        return p ? GetU32(p) : 0;
    }
    std::uint64_t U64() {
        auto* p = Take(8);
        return p ? GetU64(p) : 0;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

// Reads up to limit bytes of a box's payload (never past its end); false when the read fails.
inline bool ReadPayload(MediaFile& file, const BoxHeader& box, std::size_t limit,
                        std::vector<std::uint8_t>& out) {
    std::uint64_t available = box.end > box.payload ? box.end - box.payload : 0;
    out.resize(std::size_t(std::min<std::uint64_t>(available, limit)));
    return out.empty() || file.Read(box.payload, out.data(), out.size());
}

// Parsers of the reader, shared between its files.
bool ParseMOOV(MediaFile& file, const BoxHeader& box, MOOVBOX& moov);
bool ParseFREE(MediaFile& file, const BoxHeader& box, MP4FILE& mp4);
bool ParseSTSD(MediaFile& file, const BoxHeader& box, StsdRecord& stsd);

}  // namespace kx
