#include "sensors/Rec3GF.h"

#include <algorithm>

#include "containers/ByteOrder.h"

namespace kx {

std::int16_t ClampAxis(std::int16_t value) {
    return std::clamp<std::int16_t>(value, -kAxisLimit, kAxisLimit);
}

Rec3GF ReadRec3GF(std::span<const std::uint8_t, kRec3GFSize> bytes) {
    auto be16 = [&](std::size_t at) { return static_cast<std::int16_t>(GetU16(&bytes[at])); };
    Rec3GF record;
    record.time = static_cast<std::int32_t>(GetU32(bytes.data()));
    record.x = ClampAxis(be16(4));
    record.y = ClampAxis(be16(6));
    record.z = ClampAxis(be16(8));
    return record;
}

void WriteRec3GF(const Rec3GF& record, std::span<std::uint8_t, kRec3GFSize> bytes) {
    PutU32(bytes.data(), static_cast<std::uint32_t>(record.time));
    std::int16_t axes[3] = {record.x, record.y, record.z};
    for (int i = 0; i < 3; ++i)
        PutU16(bytes.data() + 4 + 2 * i, static_cast<std::uint16_t>(axes[i]));
}

std::vector<Rec3GF> ReadRecords3GF(std::span<const std::uint8_t> block) {
    std::vector<Rec3GF> records;
    records.reserve(block.size() / kRec3GFSize);
    for (std::size_t at = 0; block.size() - at >= kRec3GFSize; at += kRec3GFSize)
        records.push_back(ReadRec3GF(block.subspan(at).first<kRec3GFSize>()));
    return records;
}

std::int64_t FindAccelEndMarker(std::span<const std::uint8_t> boxData) {
    std::size_t run = 0;
    for (std::size_t at = 0; at < boxData.size(); ++at) {
        run = boxData[at] == 0xFF ? run + 1 : 0;
        if (run == kAccelEndMarkerSize)
            return static_cast<std::int64_t>(at + 1 - kAccelEndMarkerSize);
    }
    return -1;
}

}  // namespace kx
