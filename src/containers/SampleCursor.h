#pragma once
// Walks a track's samples one by one, reading the sample tables from the open file.
#include <cstdint>

#include "containers/Mp4File.h"

namespace kx {

struct SampleInfo {
    std::uint32_t number = 0;  // 1-based, of the sample last delivered
    std::uint64_t time = 0;    // ms
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

struct SampleCursor {
    SampleInfo sample;
    // stts walk
    std::int64_t sttsLeft = 0;
    std::uint32_t sttsDelta = 0;
    std::uint32_t sttsIndex = 0;
    std::uint64_t ticks = 0;
    // stsc / stco walk
    std::uint32_t chunkNumber = 0;
    std::int64_t chunkLeft = 0;
    std::uint32_t descriptionIndex = 0;
    std::uint32_t samplesPerChunk = 0;
    std::uint32_t stscIndex = 0;
    std::uint32_t stcoIndex = 0;
    bool redeliver = false;
    const TRAKBOX* track = nullptr;
};

// Advances the cursor by one sample and copies it to out; 0 when a table read fails.
int NextSample(SampleCursor& cursor, SampleInfo& out, MediaFile& file, const TRAKBOX& track,
               const MvhdRecord& mvhd);

}  // namespace kx
