#include "containers/AviRecover.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "app/Trace.h"

namespace kx {
namespace {

constexpr std::size_t kStagingEntries = 1024;  // entries written per block (16 KiB)
constexpr std::uint8_t kStartCode[4] = {0, 0, 0, 1};
constexpr std::uint8_t kSequenceParameterSet = 0x67;

bool IsVideoChunk(const std::uint8_t* id) {
    return id[2] == 'd' && id[3] == 'c';
}

// The chunks of movi from its first one to the last complete chunk the rules accept.
// dataEnd receives the position just past the last accepted chunk.
std::vector<AviIndexEntry> WalkMoviChunks(std::FILE* file, const AVIFILEINFO& info,
                                          std::int64_t& dataEnd) {
    std::vector<AviIndexEntry> entries;
    const std::int64_t fileLength = FileLength(file);
    const std::int64_t moviPosition = info.moviPosition;
    std::int64_t running = 0;  // from the movi position
    while (true) {
        const std::int64_t position = moviPosition + running;
        std::uint8_t head[16] = {};
        if (position + 8 > fileLength || !ReadAt(file, position, head, 8)) break;
        const std::int32_t size = static_cast<std::int32_t>(Le32(head + 4));
        if (size < 1) break;
        const std::int64_t payload = position + 8;
        // An idx1 here was left by a repair that was broken off: the chunks end before it.
        if (IsFourCC(head, "idx1")) break;
        // The sizes in the header of a recording cut short lag behind its data: past the
        // recorded movi length, only chunks of the streams are followed.
        if (running >= static_cast<std::int64_t>(info.moviLength) && !LooksLikeStreamChunkId(head))
            break;
        if (payload + size > fileLength) break;  // the chunk's data was cut off
        // The offset must fit the 32-bit index field.
        if (running + 4 > std::numeric_limits<std::uint32_t>::max()) break;
        const std::size_t prefix = std::min<std::size_t>(static_cast<std::size_t>(size), 8);
        if (!ReadAt(file, payload, head + 8, prefix)) break;

        AviIndexEntry entry;
        std::memcpy(entry.chunkId, head, 4);
        if (IsVideoChunk(head)) {
            if (size < 4 || std::memcmp(head + 8, kStartCode, 4) != 0) break;
            if (size >= 5 && head[12] == kSequenceParameterSet) entry.flags = kAviKeyFrame;
        }
        entry.offset = static_cast<std::uint32_t>(running + 4);
        entry.size = static_cast<std::uint32_t>(size);
        entries.push_back(entry);

        running = NextChunkPosition(file, payload, static_cast<std::uint32_t>(size)) - moviPosition;
        dataEnd = moviPosition + running;
    }
    return entries;
}

// Keeps the first entries in the record, as many as its 16-bit count holds.
void LoadIndex(std::vector<AviIndexEntry>& entries, AVIFILEINFO& info) {
    if (info.streamCount == kAviMainHeaderOnly) return;
    info.indexCount = static_cast<std::uint16_t>(entries.size());
    entries.resize(info.indexCount);
    info.index = std::move(entries);
}

bool Flush(std::FILE* file) {
    return std::fflush(file) == 0 && ::fsync(fileno(file)) == 0;
}

}  // namespace

int RecoverAVI(std::FILE* file, AVIFILEINFO& info, const AviWriteFunction& write) {
    std::int64_t dataEnd = info.moviPosition;
    std::vector<AviIndexEntry> entries;
    try {
        entries = WalkMoviChunks(file, info, dataEnd);
    } catch (const std::bad_alloc&) {
        Trace("RecoverAVI", __LINE__, "AVI IDX malloc failed. Count (%d)\n",
              static_cast<int>(entries.size()));
        return 0;
    }
    if (entries.empty()) return 0;

    const std::uint64_t indexBytes = entries.size() * std::uint64_t{kAviIndexEntrySize};
    const std::int64_t indexPosition = dataEnd + (dataEnd % 2);  // idx1 on an even position
    const std::int64_t fileEnd = indexPosition + 8 + static_cast<std::int64_t>(indexBytes);
    if (fileEnd - 8 > std::numeric_limits<std::uint32_t>::max()) return 0;

    // Written so that a repair broken off at any write leaves a file the next open repairs the
    // same way: first an empty idx1 that ends the chunk walk, then the entries behind it, each
    // on the device before the next step; then the idx1 size that makes the index valid and the
    // RIFF and movi sizes. Any of those last three lost leaves an idx1 that readers do not take
    // (size 0, or outside the RIFF size), so the next open repairs again.
    std::uint8_t header[9] = {0};
    const std::size_t pad = static_cast<std::size_t>(indexPosition - dataEnd);
    std::memcpy(header + pad, "idx1", 4);
    if (!write(file, dataEnd, header, pad + 8) || !Flush(file)) return 0;

    std::vector<std::uint8_t> block(kStagingEntries * kAviIndexEntrySize);
    for (std::size_t first = 0; first < entries.size(); first += kStagingEntries) {
        const std::size_t count = std::min(kStagingEntries, entries.size() - first);
        for (std::size_t i = 0; i < count; ++i)
            EncodeIndexEntry(entries[first + i], block.data() + i * kAviIndexEntrySize);
        const std::int64_t at =
            indexPosition + 8 + static_cast<std::int64_t>(first * kAviIndexEntrySize);
        if (!write(file, at, block.data(), count * kAviIndexEntrySize)) return 0;
    }
    if (!Flush(file)) return 0;

    // The RIFF and movi sizes are brought up to date so that other players find the index too.
    const std::uint32_t moviLength = static_cast<std::uint32_t>(dataEnd - info.moviPosition);
    std::uint8_t size[4];
    PutLe32(size, static_cast<std::uint32_t>(indexBytes));
    if (!write(file, indexPosition + 4, size, 4)) return 0;
    PutLe32(size, static_cast<std::uint32_t>(fileEnd - 8));
    if (!write(file, 4, size, 4)) return 0;
    PutLe32(size, moviLength + 4);
    if (!write(file, info.moviPosition - 8, size, 4) || std::fflush(file) != 0) return 0;
    info.moviLength = moviLength;

    LoadIndex(entries, info);
    return 1;
}

int RebuildAviIndexInMemory(std::FILE* file, AVIFILEINFO& info) {
    std::int64_t dataEnd = info.moviPosition;
    try {
        std::vector<AviIndexEntry> entries = WalkMoviChunks(file, info, dataEnd);
        if (entries.empty()) return 0;
        LoadIndex(entries, info);
    } catch (const std::bad_alloc&) {
        Trace("RecoverAVI", __LINE__, "AVI IDX malloc failed. Count (%d)\n", 0);
        return 0;
    }
    return 1;
}

}  // namespace kx
