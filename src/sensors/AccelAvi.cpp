#include "sensors/AccelAvi.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "containers/ByteOrder.h"
#include "sensors/Rec3GF.h"

namespace kx {
namespace {

constexpr std::size_t kAxesBytes = 12;

float LittleEndianFloat(const std::uint8_t* p) {
    std::uint32_t bits = Le32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

std::int16_t AxisFromReading(float reading) {
    double scaled = std::trunc(static_cast<double>(reading) * 128.0);
    if (std::isnan(scaled)) return 0;
    scaled = std::clamp<double>(scaled, std::numeric_limits<std::int16_t>::min(),
                                std::numeric_limits<std::int16_t>::max());
    return static_cast<std::int16_t>(scaled);
}

AviAccelConverter::AviAccelConverter(std::span<std::uint8_t> buffer, int frameRate)
    : buffer_(buffer), frameRate_(std::max(frameRate, 1)) {}

bool AviAccelConverter::AddChunk(std::span<const std::uint8_t> payload) {
    if (payload.size() < kAxesBytes) return true;
    if (buffer_.size() - written_ < kRec3GFSize) return false;
    std::uint32_t k = chunkCount_++;
    Rec3GF record;
    if (k % (2u * static_cast<std::uint32_t>(frameRate_)) == 0) {
        record.time = nextSecond_;
        nextSecond_ += 1000;
    } else {
        record.time = lastTime_ + 1000 / frameRate_ / 2;
    }
    lastTime_ = record.time;
    record.x = AxisFromReading(LittleEndianFloat(payload.data()));
    record.y = AxisFromReading(LittleEndianFloat(payload.data() + 4));
    record.z = AxisFromReading(LittleEndianFloat(payload.data() + 8));
    WriteRec3GF(record, buffer_.subspan(written_).first<kRec3GFSize>());
    written_ += kRec3GFSize;
    return true;
}

}  // namespace kx
