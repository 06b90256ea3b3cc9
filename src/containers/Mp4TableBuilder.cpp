// MP4MBOX_NODE: the sample tables of one output track, built sample by sample.
#include <new>

#include "app/Trace.h"
#include "containers/ByteOrder.h"
#include "containers/Mp4Writer.h"

namespace kx {
namespace {

void AppendU32(std::string& table, std::uint32_t value) {
    char bytes[4];
    PutU32(reinterpret_cast<std::uint8_t*>(bytes), value);
    table.append(bytes, 4);
}

bool Reserve(std::string& table, std::size_t bytes, const char* message) {
    try {
        table.reserve(bytes);
        return true;
    } catch (const std::bad_alloc&) {
        Trace("CreateFixedSizeTrak", __LINE__, message, int(bytes));
        return false;
    }
}

}  // namespace

bool CreateFixedSizeTrak(MP4MBOX_NODE& node, std::uint32_t capacity, bool withSyncTable) {
    node = MP4MBOX_NODE{};
    node.withSyncTable = withSyncTable;
    std::size_t n = capacity;
    return Reserve(node.stts, 8 * n, "MP4MBOX_NODE STTS buf alloc failed. Size(%d)\n") &&
           Reserve(node.stsz, 4 * n, "MP4MBOX_NODE STSZ buf alloc failed. Size(%d)\n") &&
           Reserve(node.stsc, 12 * n, "MP4MBOX_NODE STSC buf alloc failed. Size(%d)\n") &&
           Reserve(node.stco, 4 * n, "MP4MBOX_NODE STCO buf alloc failed. Size(%d)\n") &&
           (!withSyncTable ||
            Reserve(node.stss, 4 * n, "MP4MBOX_NODE STSS buf alloc failed. Size(%d)\n"));
}

void ReleaseNode(MP4MBOX_NODE& node) {
    node = MP4MBOX_NODE{};
}

bool AddSample(MP4MBOX_NODE& node, std::uint32_t time, std::uint32_t size, std::uint64_t offset,
               bool key, bool isVideo) {
    // Every table entry and the moov that holds them stay far inside 32 bits; refuse what
    // would not (a node this large would not fit a FAT32 file anyway).
    if (offset > UINT32_MAX || size > UINT32_MAX - offset || node.samplesAdded >= (1u << 26))
        return false;
    try {
        node.stsz.reserve(node.stsz.size() + 4);
        node.stco.reserve(node.stco.size() + 4);
        node.stts.reserve(node.stts.size() + 8);
        node.stsc.reserve(node.stsc.size() + 12);
        if (node.withSyncTable) node.stss.reserve(node.stss.size() + 4);
    } catch (const std::bad_alloc&) {
        Trace("AddSample", __LINE__, "MP4MBOX_NODE table grow failed. Count(%u)\n",
              node.samplesAdded);
        return false;
    }
    // Each sample's stts delta is the distance to the sample after it: adding this sample
    // closes the delta of the previous one.
    if (node.samplesAdded == 0) {
        node.firstSampleTime = time;
    } else {
        std::uint32_t delta = time >= node.lastSampleTime ? time - node.lastSampleTime : 0;
        if (node.runCount > 0 && delta != node.runDelta) {
            AppendU32(node.stts, node.runCount);
            AppendU32(node.stts, node.runDelta);
            ++node.sttsEntries;
            node.runCount = 0;
        }
        node.runDelta = delta;
        ++node.runCount;
    }
    if (time >= node.lastSampleTime || node.samplesAdded == 0) node.lastSampleTime = time;
    ++node.samplesAdded;

    AppendU32(node.stsz, size);

    if (node.samplesAdded == 1 || offset != node.endOfPrevious) {
        if (node.chunkNumber != 0) {
            AppendU32(node.stsc, node.chunkNumber);
            AppendU32(node.stsc, node.samplesInChunk);
            AppendU32(node.stsc, 1);
            ++node.stscEntries;
        }
        ++node.chunkNumber;
        node.samplesInChunk = 0;
        AppendU32(node.stco, std::uint32_t(offset));
        ++node.stcoEntries;
    }
    ++node.samplesInChunk;
    node.endOfPrevious = offset + size;

    if (isVideo && key && node.withSyncTable) {
        AppendU32(node.stss, node.samplesAdded);
        ++node.stssEntries;
    }
    return true;
}

}  // namespace kx
