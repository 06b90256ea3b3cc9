#include "containers/AviFormat.h"

#include <sys/types.h>

#include <cstring>

namespace kx {

AviMainHeader DecodeMainHeader(const std::uint8_t* b) {
    AviMainHeader h;
    std::uint32_t* fields[] = {
        &h.microSecPerFrame, &h.maxBytesPerSec, &h.paddingGranularity,  &h.flags, &h.totalFrames,
        &h.initialFrames,    &h.streams,        &h.suggestedBufferSize, &h.width, &h.height,
        &h.reserved[0],      &h.reserved[1]};
    for (std::size_t i = 0; i < std::size(fields); ++i) *fields[i] = Le32(b + 4 * i);
    return h;
}

void EncodeMainHeader(const AviMainHeader& h, std::uint8_t* b) {
    const std::uint32_t fields[] = {
        h.microSecPerFrame, h.maxBytesPerSec, h.paddingGranularity,  h.flags, h.totalFrames,
        h.initialFrames,    h.streams,        h.suggestedBufferSize, h.width, h.height,
        h.reserved[0],      h.reserved[1]};
    for (std::size_t i = 0; i < std::size(fields); ++i) PutLe32(b + 4 * i, fields[i]);
}

AviStreamHeader DecodeStreamHeader(const std::uint8_t* b) {
    AviStreamHeader h;
    std::memcpy(h.fccType, b, 4);
    std::memcpy(h.fccHandler, b + 4, 4);
    h.flags = Le32(b + 8);
    h.priority = Le16(b + 12);
    h.language = Le16(b + 14);
    h.initialFrames = Le32(b + 16);
    h.scale = Le32(b + 20);
    h.rate = Le32(b + 24);
    h.start = Le32(b + 28);
    h.length = Le32(b + 32);
    h.suggestedBufferSize = Le32(b + 36);
    h.quality = Le32(b + 40);
    h.sampleSize = Le32(b + 44);
    h.frameLeft = static_cast<std::int16_t>(Le16(b + 48));
    h.frameTop = static_cast<std::int16_t>(Le16(b + 50));
    h.frameRight = static_cast<std::int16_t>(Le16(b + 52));
    h.frameBottom = static_cast<std::int16_t>(Le16(b + 54));
    return h;
}

void EncodeStreamHeader(const AviStreamHeader& h, std::uint8_t* b) {
    std::memcpy(b, h.fccType, 4);
    std::memcpy(b + 4, h.fccHandler, 4);
    PutLe32(b + 8, h.flags);
    PutLe16(b + 12, h.priority);
    PutLe16(b + 14, h.language);
    PutLe32(b + 16, h.initialFrames);
    PutLe32(b + 20, h.scale);
    PutLe32(b + 24, h.rate);
    PutLe32(b + 28, h.start);
    PutLe32(b + 32, h.length);
    PutLe32(b + 36, h.suggestedBufferSize);
    PutLe32(b + 40, h.quality);
    PutLe32(b + 44, h.sampleSize);
    PutLe16(b + 48, static_cast<std::uint16_t>(h.frameLeft));
    PutLe16(b + 50, static_cast<std::uint16_t>(h.frameTop));
    PutLe16(b + 52, static_cast<std::uint16_t>(h.frameRight));
    PutLe16(b + 54, static_cast<std::uint16_t>(h.frameBottom));
}

AviIndexEntry DecodeIndexEntry(const std::uint8_t* b) {
    AviIndexEntry e;
    std::memcpy(e.chunkId, b, 4);
    e.flags = Le32(b + 4);
    e.offset = Le32(b + 8);
    e.size = Le32(b + 12);
    return e;
}

void EncodeIndexEntry(const AviIndexEntry& e, std::uint8_t* b) {
    std::memcpy(b, e.chunkId, 4);
    PutLe32(b + 4, e.flags);
    PutLe32(b + 8, e.offset);
    PutLe32(b + 12, e.size);
}

bool LooksLikeChunkId(const std::uint8_t* id) {
    for (int i = 0; i < 4; ++i)
        if (id[i] < 0x20 || id[i] > 0x7E) return false;
    return true;
}

bool LooksLikeStreamChunkId(const std::uint8_t* id) {
    auto digit = [](std::uint8_t c) { return c >= '0' && c <= '9'; };
    auto alnum = [&](std::uint8_t c) {
        return digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    };
    return digit(id[0]) && digit(id[1]) && alnum(id[2]) && alnum(id[3]);
}

bool ReadAt(std::FILE* file, std::int64_t position, void* bytes, std::size_t size) {
    if (position < 0 || fseeko(file, static_cast<off_t>(position), SEEK_SET) != 0) return false;
    return std::fread(bytes, 1, size, file) == size;
}

bool WriteAt(std::FILE* file, std::int64_t position, const void* bytes, std::size_t size) {
    if (position < 0 || fseeko(file, static_cast<off_t>(position), SEEK_SET) != 0) return false;
    return std::fwrite(bytes, 1, size, file) == size;
}

std::int64_t FileLength(std::FILE* file) {
    if (fseeko(file, 0, SEEK_END) != 0) return -1;
    return static_cast<std::int64_t>(ftello(file));
}

std::int64_t NextChunkPosition(std::FILE* file, std::int64_t payload, std::uint32_t size) {
    std::int64_t next = payload + size;
    if (size % 2 == 0) return next;
    std::uint8_t bytes[5];
    if (ReadAt(file, next, bytes, sizeof bytes) && !LooksLikeChunkId(bytes) &&
        LooksLikeChunkId(bytes + 1))
        return next + 1;
    return next;
}

}  // namespace kx
