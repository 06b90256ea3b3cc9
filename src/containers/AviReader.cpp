#include "containers/AviReader.h"

#include <algorithm>
#include <new>

#include "app/Trace.h"
#include "containers/AviRecover.h"
#include "platform/AtomicFile.h"

namespace kx {
namespace {

constexpr std::int64_t kChunkHeaderSize = 8;

struct ChunkHeader {
    std::uint8_t id[4];
    std::uint32_t size;
};

bool ReadChunkHeader(std::FILE* file, std::int64_t position, ChunkHeader& header) {
    std::uint8_t bytes[8];
    if (!ReadAt(file, position, bytes, sizeof bytes)) return false;
    std::copy(bytes, bytes + 4, header.id);
    header.size = Le32(bytes + 4);
    return true;
}

// Reads at most the slot's size of a chunk into a zero-filled slot.
template <std::size_t N>
bool ReadIntoSlot(std::FILE* file, std::int64_t payload, std::uint32_t size,
                  std::array<std::uint8_t, N>& slot) {
    slot.fill(0);
    return ReadAt(file, payload, slot.data(), std::min<std::size_t>(size, N));
}

// One strl list: its strh and strf children. false when a read failed.
bool ParseStreamList(std::FILE* file, std::int64_t first, std::int64_t end, AVIFILEINFO& info) {
    if (info.streamCount >= kAviMaxStreams) return true;  // further streams are ignored
    const std::size_t slot = info.streamCount++;
    for (std::int64_t position = first; position + kChunkHeaderSize <= end;) {
        ChunkHeader child;
        if (!ReadChunkHeader(file, position, child)) return false;
        const std::int64_t payload = position + kChunkHeaderSize;
        if (IsFourCC(child.id, "strh")) {
            std::array<std::uint8_t, kAviStreamHeaderSize> bytes;
            if (!ReadIntoSlot(file, payload, child.size, bytes)) return false;
            info.streamHeaders[slot] = DecodeStreamHeader(bytes.data());
        } else if (IsFourCC(child.id, "strf")) {
            const AviStreamHeader& header = info.streamHeaders[slot];
            if (IsFourCC(header.fccType, "vids") && info.videoStreamCount < kAviMaxVideoStreams) {
                if (!ReadIntoSlot(file, payload, child.size,
                                  info.videoFormats[info.videoStreamCount]))
                    return false;
                ++info.videoStreamCount;
            } else if (IsFourCC(header.fccType, "auds")) {
                if (!ReadIntoSlot(file, payload, child.size, info.audioFormat)) return false;
            }
        }
        position = NextChunkPosition(file, payload, child.size);
    }
    return true;
}

}  // namespace

AviHeaderResult ReadAviHeaders(std::FILE* file, AVIFILEINFO& info) {
    std::uint8_t riff[12];
    if (!ReadAt(file, 0, riff, sizeof riff) || !IsFourCC(riff, "RIFF") ||
        !IsFourCC(riff + 8, "AVI "))
        return AviHeaderResult::kFailed;
    const bool mainHeaderOnly = info.streamCount == kAviMainHeaderOnly;
    const std::int64_t fileLength = FileLength(file);
    const std::int64_t walkEnd =
        std::min<std::int64_t>(8 + std::int64_t{Le32(riff + 4)}, fileLength);

    bool moviFound = false;
    bool indexFound = false;
    for (std::int64_t position = 12; position + kChunkHeaderSize <= walkEnd;) {
        ChunkHeader chunk;
        if (!ReadChunkHeader(file, position, chunk)) return AviHeaderResult::kFailed;
        const std::int64_t payload = position + kChunkHeaderSize;
        std::int64_t next = NextChunkPosition(file, payload, chunk.size);

        if (IsFourCC(chunk.id, "idx1")) {
            info.indexCount = static_cast<std::uint16_t>(chunk.size / kAviIndexEntrySize);
            // An idx1 of fewer than one entry is an index that was never completed.
            indexFound = chunk.size >= kAviIndexEntrySize;
            if (indexFound && !mainHeaderOnly) {
                const std::size_t count = info.indexCount;
                if (payload + static_cast<std::int64_t>(count * kAviIndexEntrySize) > fileLength)
                    return AviHeaderResult::kFailed;  // short read
                try {
                    info.index.assign(count, AviIndexEntry{});
                } catch (const std::bad_alloc&) {
                    Trace("ValidAVI", __LINE__, "AVI IDX malloc failed. Count (%d)\n",
                          static_cast<int>(count));
                    info.index.clear();
                }
                if (!info.index.empty()) {
                    std::vector<std::uint8_t> bytes(count * kAviIndexEntrySize);
                    if (!ReadAt(file, payload, bytes.data(), bytes.size()))
                        return AviHeaderResult::kFailed;
                    for (std::size_t i = 0; i < count; ++i)
                        info.index[i] = DecodeIndexEntry(bytes.data() + i * kAviIndexEntrySize);
                }
            }
        } else if (IsFourCC(chunk.id, "LIST") && chunk.size >= 4) {
            std::uint8_t listType[4];
            if (!ReadAt(file, payload, listType, sizeof listType)) return AviHeaderResult::kFailed;
            if (IsFourCC(listType, "movi")) {
                moviFound = true;
                info.moviPosition = payload + 4;
                info.moviLength = chunk.size - 4;
            } else if (IsFourCC(listType, "hdrl")) {
                ChunkHeader avih;
                std::uint8_t mainHeader[kAviMainHeaderSize];
                if (!ReadChunkHeader(file, payload + 4, avih) || !IsFourCC(avih.id, "avih") ||
                    avih.size < kAviMainHeaderSize ||
                    !ReadAt(file, payload + 4 + kChunkHeaderSize, mainHeader, sizeof mainHeader))
                    return AviHeaderResult::kFailed;
                info.mainHeader = DecodeMainHeader(mainHeader);
                // Walk on inside hdrl, so that its strl lists are visited like top-level chunks.
                next = NextChunkPosition(file, payload + 4 + kChunkHeaderSize, avih.size);
            } else if (IsFourCC(listType, "strl") && !mainHeaderOnly) {
                const std::int64_t listEnd = std::min<std::int64_t>(payload + chunk.size, walkEnd);
                if (!ParseStreamList(file, payload + 4, listEnd, info))
                    return AviHeaderResult::kFailed;
            }
        }
        position = next;
    }
    if (!moviFound) return AviHeaderResult::kFailed;
    return indexFound ? AviHeaderResult::kIndexPresent : AviHeaderResult::kIndexMissing;
}

int ValidAVI(const std::filesystem::path& path, AVIFILEINFO& info) {
    AviHeaderResult result;
    {
        UniqueFile file = OpenFile(path, "rb");
        if (!file) return 0;
        result = ReadAviHeaders(file.get(), info);
    }
    if (result == AviHeaderResult::kFailed) return 0;
    if (result == AviHeaderResult::kIndexPresent) return 1;

    Trace("ValidAVI", __LINE__, "Invalid %s Recovery\n", path.c_str());
    UniqueFile file = OpenFile(path, "rb+");
    if (!file) {
        file = OpenFile(path, "rb");
        return file ? RebuildAviIndexInMemory(file.get(), info) : 0;
    }
    const int recovered = RecoverAVI(file.get(), info);
    if (recovered == 1) info.repaired = true;
    return recovered;
}

std::uint32_t ProbeAviDurationSeconds(const std::filesystem::path& path) {
    UniqueFile file = OpenFile(path, "rb");
    if (!file) return 0;
    std::uint8_t bytes[32 + kAviMainHeaderSize];
    if (!ReadAt(file.get(), 0, bytes, sizeof bytes) || !IsFourCC(bytes, "RIFF") ||
        !IsFourCC(bytes + 8, "AVI ") || !IsFourCC(bytes + 12, "LIST") ||
        !IsFourCC(bytes + 20, "hdrl") || !IsFourCC(bytes + 24, "avih"))
        return 0;
    const AviMainHeader header = DecodeMainHeader(bytes + 32);
    if (header.microSecPerFrame == 0 || header.microSecPerFrame > 1000000) return 0;
    return header.totalFrames / (1000000 / header.microSecPerFrame);
}

}  // namespace kx
