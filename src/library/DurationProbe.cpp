#include "library/DurationProbe.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <limits>

#include "library/RecordingName.h"
#include "platform/AtomicFile.h"

namespace kx {
namespace {

constexpr int kMaximumSkippedBoxes = 4;
constexpr std::uint32_t kBoxHeaderSize = 8;
constexpr std::uint32_t kMicrosecondsPerSecond = 1000000;
constexpr std::size_t kAviMainHeaderSize = 48;
// Camera AVI layout: "RIFF" size "AVI " "LIST" size "hdrl" "avih" size, then the header.
constexpr long kAviListOffset = 12;
constexpr long kAviMainHeaderOffset = 32;
constexpr std::size_t kAviTotalFramesOffset = 16;

bool ReadBytes(std::FILE* file, void* into, std::size_t count) {
    return std::fread(into, 1, count, file) == count;
}

std::uint32_t BigEndian32(const unsigned char* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

std::uint32_t LittleEndian32(const unsigned char* bytes) {
    return std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) |
           (std::uint32_t{bytes[2]} << 16) | (std::uint32_t{bytes[3]} << 24);
}

bool ReadBigEndian32(std::FILE* file, std::uint32_t& value) {
    unsigned char bytes[4];
    if (!ReadBytes(file, bytes, sizeof bytes)) return false;
    value = BigEndian32(bytes);
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
    header.size = BigEndian32(bytes);
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

std::uint32_t ProbeAviSeconds(const std::filesystem::path& path) {
    UniqueFile file = OpenFile(path, "rb");
    if (!file) return 0;
    unsigned char head[kAviMainHeaderOffset];
    if (!ReadBytes(file.get(), head, sizeof head)) return 0;
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "AVI ", 4) != 0 ||
        std::memcmp(head + kAviListOffset, "LIST", 4) != 0 ||
        std::memcmp(head + kAviListOffset + 8, "hdrl", 4) != 0 ||
        std::memcmp(head + kAviListOffset + 12, "avih", 4) != 0)
        return 0;
    std::array<unsigned char, kAviMainHeaderSize> mainHeader{};
    if (!ReadBytes(file.get(), mainHeader.data(), mainHeader.size())) return 0;
    std::uint32_t microsecondsPerFrame = LittleEndian32(mainHeader.data());
    std::uint32_t totalFrames = LittleEndian32(mainHeader.data() + kAviTotalFramesOffset);
    if (microsecondsPerFrame == 0 || microsecondsPerFrame > kMicrosecondsPerSecond) return 0;
    return totalFrames / (kMicrosecondsPerSecond / microsecondsPerFrame);
}

int SpanMinutesForSeconds(std::uint32_t seconds) {
    if (seconds <= static_cast<std::uint32_t>(kOneMinuteSpanLimit)) return 1;
    std::uint32_t minutes = seconds / 60 + (seconds % 60 > kSpanSlackSeconds ? 1 : 0);
    return static_cast<int>(std::min<std::uint32_t>(minutes, kMaximumSpanMinutes));
}

std::uint32_t ProbeDuration(FileEntry& entry, const std::filesystem::path& recordFolder) {
    std::filesystem::path file = recordFolder / entry.FileName();
    std::uint32_t seconds =
        entry.scheme == kSchemeAvi ? ProbeAviSeconds(file) : ProbeMp4Seconds(file);
    // A damaged AVI header can claim any frame count; the entry keeps a signed length.
    seconds = std::min<std::uint32_t>(seconds, INT32_MAX);
    entry.duration = static_cast<std::int32_t>(seconds);
    entry.spanMinutes = static_cast<std::uint8_t>(SpanMinutesForSeconds(seconds));
    return seconds;
}

}  // namespace kx
