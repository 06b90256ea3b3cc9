#include "containers/SampleCursor.h"

#include <cmath>

#include "containers/ByteOrder.h"
#include "containers/MediaFile.h"

namespace kx {
namespace {

// ticks / timescale * 1000 in floating point, truncated; kept inside the 64-bit range.
std::uint64_t TicksToMs(double ticks, std::uint32_t timescale) {
    if (timescale == 0) return 0;
    double ms = ticks / timescale * 1000.0;
    if (!(ms > 0)) return 0;
    if (ms >= 1.8e19) return UINT64_MAX;
    return std::uint64_t(ms);
}

bool ReadTableU32(MediaFile& file, std::uint64_t at, std::uint32_t& value) {
    std::uint8_t bytes[4];
    if (!file.Read(at, bytes, sizeof bytes)) return false;
    value = GetU32(bytes);
    return true;
}

}  // namespace

int NextSample(SampleCursor& cursor, SampleInfo& out, MediaFile& file, const TRAKBOX& track,
               const MvhdRecord& mvhd) {
    cursor.track = &track;
    if (cursor.redeliver) {
        cursor.redeliver = false;
        out = cursor.sample;
        return 1;
    }
    SampleInfo& sample = cursor.sample;
    const std::uint32_t timescale = track.mdhd.timescale;

    // Time from the stts runs; past the last entry the time stays where it was.
    if (cursor.sttsLeft > 0) {
        sample.time = TicksToMs(double(cursor.ticks), timescale);
        cursor.ticks += cursor.sttsDelta;
        --cursor.sttsLeft;
    } else if (cursor.sttsIndex < track.stts.entryCount) {
        std::uint8_t entry[8];
        if (!file.Read(std::uint64_t(track.stts.box.pos) + 8 + 8ull * cursor.sttsIndex, entry,
                       sizeof entry))
            return 0;
        ++cursor.sttsIndex;
        cursor.sttsDelta = GetU32(entry + 4);
        sample.time = TicksToMs(double(cursor.ticks), timescale);
        cursor.ticks += cursor.sttsDelta;
        cursor.sttsLeft = std::int64_t(GetU32(entry)) - 1;
    }

    // Edit list: empty edits before the media shift the samples of the following segment.
    if (mvhd.timescale) {
        double sum = 0;
        for (const ELSTEntry& edit : track.edts.elst.entries) {
            double duration = double(edit.segmentDuration) / mvhd.timescale * 1000.0;
            if (edit.mediaTime == -1) {
                sum += duration;
                continue;
            }
            double start = double(edit.mediaTime) / mvhd.timescale * 1000.0;
            double time = double(sample.time);
            if (sum != 0 && start <= time && time <= start + duration) {
                sample.time = TicksToMs(time + sum, 1000);
                break;
            }
        }
    }

    // Offset from the chunk runs.
    if (cursor.chunkLeft > 0) {
        sample.offset += sample.size;
        --cursor.chunkLeft;
    } else {
        if (cursor.stscIndex < track.stsc.entryCount) {
            std::uint8_t entry[12];
            if (!file.Read(std::uint64_t(track.stsc.box.pos) + 8 + 12ull * cursor.stscIndex, entry,
                           sizeof entry))
                return 0;
            std::uint32_t firstChunk = GetU32(entry);
            if (firstChunk != cursor.chunkNumber && sample.number != 0 && cursor.chunkNumber != 0) {
                cursor.chunkLeft = std::int64_t(cursor.samplesPerChunk) - 1;  // not yet due
            } else {
                cursor.chunkNumber = firstChunk;
                cursor.samplesPerChunk = GetU32(entry + 4);
                cursor.descriptionIndex = GetU32(entry + 8);
                cursor.chunkLeft = std::int64_t(cursor.samplesPerChunk) - 1;
                ++cursor.stscIndex;
            }
        } else {
            cursor.chunkLeft = std::int64_t(cursor.samplesPerChunk) - 1;
        }
        if (cursor.stcoIndex < track.stco.entryCount) {
            if (!ReadTableU32(file, std::uint64_t(track.stco.box.pos) + 8 + 4ull * cursor.stcoIndex,
                              sample.offset))
                return 0;
            ++cursor.stcoIndex;
        }  // past the last chunk the last chunk offset is kept
        ++cursor.chunkNumber;
    }

    // Size.
    if (track.stsz.sampleSize) {
        sample.size = track.stsz.sampleSize;
    } else if (!ReadTableU32(file, std::uint64_t(track.stsz.box.pos) + 12 + 4ull * sample.number,
                             sample.size)) {
        return 0;
    }
    ++sample.number;
    out = sample;
    return 1;
}

}  // namespace kx
