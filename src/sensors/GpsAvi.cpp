#include "sensors/GpsAvi.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "containers/ByteOrder.h"
#include "sensors/NmeaScan.h"

namespace kx {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

std::int64_t SecondsOfDay(std::int64_t hhmmss) {
    return hhmmss / 10000 * 3600 + hhmmss / 100 % 100 * 60 + hhmmss % 100;
}

}  // namespace

AviGpsSentenceList::AviGpsSentenceList(std::span<std::uint8_t> buffer) : buffer_(buffer) {
    if (buffer_.size() < kAviGpsListHeaderSize + 1) {
        buffer_ = {};
        return;
    }
    std::fill(buffer_.begin(), buffer_.begin() + kAviGpsListHeaderSize + 1, 0);
}

void AviGpsSentenceList::AddChunk(std::span<const std::uint8_t> payload) {
    payload = payload.first(std::min(payload.size(), kAviSensorChunkCapacity));
    std::size_t start = 0;
    for (std::size_t at = 0; at <= payload.size(); ++at) {
        bool separator = at == payload.size() || payload[at] == '\r' || payload[at] == '\n' ||
                         payload[at] == '\0';
        if (!separator) continue;
        if (at > start) AddSentence(payload.subspan(start, at - start));
        start = at + 1;
    }
    ++chunkIndex_;
}

void AviGpsSentenceList::AddSentence(std::span<const std::uint8_t> sentence) {
    if (buffer_.empty()) return;
    sentence = sentence.first(std::min(sentence.size(), kAviSentenceCapacity));
    // Length byte, text and the end byte after it must fit.
    if (buffer_.size() - end_ < sentence.size() + 2) return;
    if (!hasData_) {
        std::uint32_t offset = chunkIndex_ * 100;
        buffer_[0] = 1;
        PutU32(buffer_.data() + 1, offset);
        hasData_ = true;
    }
    buffer_[end_] = static_cast<std::uint8_t>(sentence.size() + 1);
    std::memcpy(buffer_.data() + end_ + 1, sentence.data(), sentence.size());
    end_ += sentence.size() + 1;
    buffer_[end_] = 0;
}

std::size_t ParseGpsAvi(GpsTrack& track, std::span<const std::uint8_t> list,
                        std::int32_t startKey) {
    if (list.size() < kAviGpsListHeaderSize || list[0] == 0) return 0;
    std::int32_t listOffset = static_cast<std::int32_t>(GetU32(list.data() + 1));
    std::int64_t base = 0;
    std::size_t appended = 0;
    std::size_t at = kAviGpsListHeaderSize;
    while (at < list.size()) {
        auto length = static_cast<std::int8_t>(list[at]);
        if (length <= 0) break;
        std::size_t textLength = std::min<std::size_t>(length - 1, list.size() - at - 1);
        std::string_view text(reinterpret_cast<const char*>(list.data() + at + 1), textLength);
        at += 1 + textLength;

        int hhmmss = 0, fraction = 0;
        char status = 0, latRef = 0, lonRef = 0;
        double latitude = 0, longitude = 0, speed = 0;
        NmeaScan scan(text);
        if (!scan.Literal("$GPRMC,").Int(hhmmss).ok()) continue;
        scan.Literal(".").Int(fraction).Literal(",").Char(status).Literal(",");
        scan.Double(latitude).Literal(",").Char(latRef).Literal(",");
        scan.Double(longitude).Literal(",").Char(lonRef).Literal(",").Double(speed);

        std::int64_t seconds = SecondsOfDay(hhmmss);
        if (base == 0) base = seconds;
        std::int64_t offset = seconds - base;
        if (seconds < base) offset += kSecondsPerDay;
        // A sentence whose position fields do not all read would give a fix at 0, 0.
        if (status == 'V' || !scan.ok()) continue;

        GPS_NODE fix;
        fix.time = static_cast<std::int32_t>(startKey + offset * 100 + listOffset);
        fix.lat_ref = latRef;
        fix.lon_ref = lonRef;
        fix.latitude = latRef == 'S' ? -latitude : latitude;
        fix.longitude = lonRef == 'W' ? -longitude : longitude;
        fix.speed = speed;
        if (track.Append(fix)) ++appended;
    }
    return appended;
}

}  // namespace kx
