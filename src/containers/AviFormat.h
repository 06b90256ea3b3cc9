#pragma once
// The RIFF AVI records the viewer reads and writes: the main header, stream headers, the stream
// formats and the legacy index. All values are little-endian in the file.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "containers/ByteOrder.h"

namespace kx {

inline constexpr std::size_t kAviMainHeaderSize = 48;    // bytes of avih kept
inline constexpr std::size_t kAviStreamHeaderSize = 56;  // one strh
inline constexpr std::size_t kAviVideoFormatSize = 40;   // bitmap info header slot
inline constexpr std::size_t kAviAudioFormatSize = 20;   // wave format slot
inline constexpr std::size_t kAviWaveFormatSize = 18;    // wave format as written
inline constexpr std::size_t kAviIndexEntrySize = 16;    // one idx1 entry
inline constexpr std::size_t kAviMaxStreams = 5;
inline constexpr std::size_t kAviMaxVideoStreams = 2;
inline constexpr std::uint8_t kAviMainHeaderOnly = 0xFF;  // stream count preset by the owner
inline constexpr std::uint32_t kAviKeyFrame = 0x10;       // idx1 flag
inline constexpr std::uint32_t kAviHasIndex = 0x10;       // avih flag

struct AviMainHeader {
    std::uint32_t microSecPerFrame = 0;
    std::uint32_t maxBytesPerSec = 0;
    std::uint32_t paddingGranularity = 0;
    std::uint32_t flags = 0;
    std::uint32_t totalFrames = 0;
    std::uint32_t initialFrames = 0;
    std::uint32_t streams = 0;
    std::uint32_t suggestedBufferSize = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t reserved[2] = {0, 0};
};

struct AviStreamHeader {
    char fccType[4] = {};
    char fccHandler[4] = {};
    std::uint32_t flags = 0;
    std::uint16_t priority = 0;
    std::uint16_t language = 0;
    std::uint32_t initialFrames = 0;
    std::uint32_t scale = 0;
    std::uint32_t rate = 0;
    std::uint32_t start = 0;
    std::uint32_t length = 0;
    std::uint32_t suggestedBufferSize = 0;
    std::uint32_t quality = 0;
    std::uint32_t sampleSize = 0;
    std::int16_t frameLeft = 0;
    std::int16_t frameTop = 0;
    std::int16_t frameRight = 0;
    std::int16_t frameBottom = 0;
};

struct AviIndexEntry {
    char chunkId[4] = {};
    std::uint32_t flags = 0;
    std::uint32_t offset = 0;  // from the movi list type
    std::uint32_t size = 0;
};

// One AVI file as the viewer sees it. The owner presets streamCount to kAviMainHeaderOnly to
// ask for the main header only (no stream headers, no index loaded).
struct AVIFILEINFO {
    AviMainHeader mainHeader;
    std::array<AviStreamHeader, kAviMaxStreams> streamHeaders{};
    std::array<std::array<std::uint8_t, kAviVideoFormatSize>, kAviMaxVideoStreams> videoFormats{};
    std::array<std::uint8_t, kAviAudioFormatSize> audioFormat{};
    std::int64_t moviPosition = 0;  // first chunk inside movi, just past the list type
    std::uint32_t moviLength = 0;   // movi list size - 4
    std::uint8_t streamCount = 0;
    std::uint8_t videoStreamCount = 0;
    std::uint16_t indexCount = 0;  // idx1 entries, kept in 16 bits
    std::vector<AviIndexEntry> index;
    bool repaired = false;  // the index was rebuilt by this open
};

inline bool IsFourCC(const void* bytes, std::string_view fourcc) {
    const char* p = static_cast<const char*>(bytes);
    return fourcc.size() == 4 && p[0] == fourcc[0] && p[1] == fourcc[1] && p[2] == fourcc[2] &&
           p[3] == fourcc[3];
}

AviMainHeader DecodeMainHeader(const std::uint8_t* bytes);  // kAviMainHeaderSize bytes
void EncodeMainHeader(const AviMainHeader& header, std::uint8_t* bytes);
AviStreamHeader DecodeStreamHeader(const std::uint8_t* bytes);  // kAviStreamHeaderSize bytes
void EncodeStreamHeader(const AviStreamHeader& header, std::uint8_t* bytes);
AviIndexEntry DecodeIndexEntry(const std::uint8_t* bytes);  // kAviIndexEntrySize bytes
void EncodeIndexEntry(const AviIndexEntry& entry, std::uint8_t* bytes);

// Appends a four-character code, or a little-endian 32-bit value, to a byte buffer.
inline void AppendFourCC(std::vector<std::uint8_t>& out, const char* fourcc) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(fourcc[i]));
}
inline void AppendLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    std::uint8_t bytes[4];
    PutLe32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

// A chunk id as RIFF writers make them: four printable ASCII characters.
bool LooksLikeChunkId(const std::uint8_t* id);
// A movi chunk id of a stream: two decimal digits then two letters or digits ("00dc", "02wb").
bool LooksLikeStreamChunkId(const std::uint8_t* id);

// Positioned reads and writes on a stdio file (64-bit offsets); true when every byte moved.
bool ReadAt(std::FILE* file, std::int64_t position, void* bytes, std::size_t size);
bool WriteAt(std::FILE* file, std::int64_t position, const void* bytes, std::size_t size);
// The file's length in bytes, or -1.
std::int64_t FileLength(std::FILE* file);
// Where the chunk after one with this payload position and size starts. The camera writes no
// padding byte after an odd-sized chunk, RIFF writers do: after an odd size, a pad byte is
// stepped over when only the padded position holds a chunk id.
std::int64_t NextChunkPosition(std::FILE* file, std::int64_t payload, std::uint32_t size);

}  // namespace kx
