#include "library/DurationProbe.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <limits>

#include "containers/AviReader.h"
#include "containers/ByteOrder.h"
#include "library/RecordingName.h"
#include "platform/AtomicFile.h"

namespace kx {
namespace {

constexpr int kMaximumSkippedBoxes = 4;
constexpr std::uint32_t kBoxHeaderSize = 8;

bool ReadBytes(std::FILE* file, void* into, std::size_t count) {
    return std::fread(into, 1, count, file) == count;
}

bool ReadBigEndian32(std::FILE* file, std::uint32_t& value) {
    unsigned char bytes[4];
    if (!ReadBytes(file, bytes, sizeof bytes)) return false;
    value = GetU32(bytes);
    return true;
}

struct BoxHeader {
    std::uint32_t size = 0;
    char type[4] = {};
    bool Is(const char* name) const { return std::memcmp(type, name, 4) == 0; }
};

// A header of at least its own 8 bytes; anything else ends the probe.
bool ReadBoxHeader(std::FILE* file, BoxHeader& header) {
    unsigned char bytes[kBoxHeaderSize];
    if (!ReadBytes(file, bytes, sizeof bytes)) return false;
    header.size = GetU32(bytes);
    std::memcpy(header.type, bytes + 4, 4);
    return header.size >= kBoxHeaderSize;
}

}  // namespace

std::uint32_t ProbeMp4Seconds(const std::filesystem::path& path) {
    UniqueFile file = OpenFile(path, "rb");
    if (!file) return 0;
    BoxHeader header;
    if (!ReadBoxHeader(file.get(), header)) return 0;
    std::uint64_t position = 0;
    int skipped = 0;
    while (!header.Is("moov")) {
        if (++skipped >= kMaximumSkippedBoxes) return 0;
        position += header.size;
        if (position > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return 0;
        if (fseeko(file.get(), static_cast<off_t>(position), SEEK_SET) != 0) return 0;
        if (!ReadBoxHeader(file.get(), header)) return 0;
    }
    if (!ReadBoxHeader(file.get(), header) || !header.Is("mvhd")) return 0;

    unsigned char versionAndFlags[4];
    if (!ReadBytes(file.get(), versionAndFlags, sizeof versionAndFlags)) return 0;
    std::uint32_t timeScale = 0;
    std::uint32_t duration = 0;
    if (versionAndFlags[0] == 1) {
        // 64-bit creation and modification times, then a 64-bit duration of which the low
        // 32 bits are used.
        std::uint32_t durationHigh = 0;
        if (fseeko(file.get(), 16, SEEK_CUR) != 0 || !ReadBigEndian32(file.get(), timeScale) ||
            !ReadBigEndian32(file.get(), durationHigh) || !ReadBigEndian32(file.get(), duration))
            return 0;
    } else {
        if (fseeko(file.get(), 8, SEEK_CUR) != 0 || !ReadBigEndian32(file.get(), timeScale) ||
            !ReadBigEndian32(file.get(), duration))
            return 0;
    }
    if (static_cast<std::int32_t>(timeScale) <= 0 || static_cast<std::int32_t>(duration) <= 0)
        return 0;
    if (duration < timeScale) return 1;
    std::uint32_t seconds = duration / timeScale;
    return seconds > kMaximumMp4Seconds ? 0 : seconds;
}

int SpanMinutesForSeconds(std::uint32_t seconds) {
    if (seconds <= static_cast<std::uint32_t>(kOneMinuteSpanLimit)) return 1;
    std::uint32_t minutes = seconds / 60 + (seconds % 60 > kSpanSlackSeconds ? 1 : 0);
    return static_cast<int>(std::min<std::uint32_t>(minutes, kMaximumSpanMinutes));
}

std::uint32_t ProbeDuration(FileEntry& entry, const std::filesystem::path& recordFolder) {
    std::filesystem::path file = recordFolder / entry.FileName();
    std::uint32_t seconds =
        entry.scheme == kSchemeAvi ? ProbeAviDurationSeconds(file) : ProbeMp4Seconds(file);
    // A damaged AVI header can claim any frame count; the entry keeps a signed length.
    seconds = std::min<std::uint32_t>(seconds, INT32_MAX);
    entry.duration = static_cast<std::int32_t>(seconds);
    entry.spanMinutes = static_cast<std::uint8_t>(SpanMinutesForSeconds(seconds));
    return seconds;
}

}  // namespace kx
