// Any bytes as the other sensor data: 48-byte GPS records, an AVI sentence list (read as it
// stands and rebuilt from the bytes as GPS chunks), acceleration records with their end marker
// and AVI G-sensor chunks. Nothing is read or written outside its buffer and every axis read is
// within -250 ... 250.
#include <cstdint>
#include <span>
#include <vector>

#include "sensors/AccelAvi.h"
#include "sensors/GpsAvi.h"
#include "sensors/GpsBin.h"
#include "sensors/Rec3GF.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> bytes(data, size);
    std::uint64_t startMs = size >= 8 ? static_cast<std::uint64_t>(data[size - 1]) << 40 : 0;

    kx::GpsTrack track;
    kx::ParseGpsBin(track, bytes, startMs, 3600 * 100);
    kx::ParseGpsAvi(track, bytes, 0);

    // Chunks cut from the input at its 0x01 bytes, into a small list buffer.
    std::vector<std::uint8_t> list(64 + size % 512);
    kx::AviGpsSentenceList sentences(list);
    std::size_t start = 0;
    for (std::size_t at = 0; at <= size; ++at) {
        if (at < size && data[at] != 0x01) continue;
        sentences.AddChunk(bytes.subspan(start, at - start));
        start = at + 1;
    }
    if (sentences.size() > list.size()) __builtin_trap();
    if (!sentences.empty() && list[sentences.size() - 1] != 0) __builtin_trap();
    kx::ParseGpsAvi(track, list, 0);

    std::int64_t end = kx::FindAccelEndMarker(bytes);
    if (end > static_cast<std::int64_t>(size)) __builtin_trap();
    std::span<const std::uint8_t> records = end >= 0 ? bytes.first(end) : bytes;
    for (const kx::Rec3GF& record : kx::ReadRecords3GF(records))
        for (std::int16_t axis : {record.x, record.y, record.z})
            if (axis < -kx::kAxisLimit || axis > kx::kAxisLimit) __builtin_trap();

    std::vector<std::uint8_t> accel(kx::kRec3GFSize * 64);
    kx::AviAccelConverter converter(accel, size > 0 ? data[0] % 64 - 4 : 30);
    for (std::size_t at = 0; at + 12 <= size; at += 12 + (data[at] & 3))
        converter.AddChunk(bytes.subspan(at, 12));
    if (converter.size() > accel.size() || converter.size() % kx::kRec3GFSize) __builtin_trap();
    return 0;
}
