#include "containers/AviExport.h"

#include <cmath>
#include <new>

#include "app/Trace.h"

namespace kx {
namespace {

constexpr std::size_t kCopyBufferSlack = 1024;
constexpr int kNoStream = -1;

// The source stream number of an entry whose id is "0<digit>..", else kNoStream.
int StreamOf(const AviIndexEntry& entry) {
    if (entry.chunkId[0] != '0' || entry.chunkId[1] < '0' || entry.chunkId[1] > '9')
        return kNoStream;
    return entry.chunkId[1] - '0';
}

int FirstStreamOfType(const AVIFILEINFO& info, const char* type) {
    const int count = std::min<int>(info.streamCount, kAviMaxStreams);
    for (int i = 1; i < count; ++i)
        if (IsFourCC(info.streamHeaders[static_cast<std::size_t>(i)].fccType, type)) return i;
    return kNoStream;
}

}  // namespace

bool AviStreamWrite(std::vector<std::uint8_t>& buffer, std::FILE* source,
                    const AviIndexEntry& entry, AviFileWriter& output, int outputStream,
                    std::int64_t moviPosition) {
    const std::int64_t dataPosition = moviPosition + std::int64_t{entry.offset} + 4;
    const std::int64_t sourceLength = FileLength(source);
    // The entry must describe bytes that are in the file before anything is allocated.
    if (sourceLength < 0 || dataPosition + std::int64_t{entry.size} > sourceLength) {
        Trace("AviStreamWrite", __LINE__, "AVI chunk outside the file. Offset(%u) Size(%u)\n",
              entry.offset, entry.size);
        return false;
    }
    if (entry.size > buffer.size()) {
        try {
            buffer.resize(std::size_t{entry.size} + kCopyBufferSlack);
        } catch (const std::bad_alloc&) {
            Trace("AviStreamWrite", __LINE__, "AVIBUF alloc failed. Size(%d)\n",
                  static_cast<int>(entry.size));
            return false;
        }
    }
    if (entry.size > 0 && !ReadAt(source, dataPosition, buffer.data(), entry.size)) return false;
    return output.WriteSample(outputStream, buffer.data(), entry.size, entry.flags & kAviKeyFrame);
}

int ExportAVI(std::FILE* source, const std::filesystem::path& outputPath, const AVIFILEINFO& info,
              int startSecond, int endSecond, bool withSound, bool firstVideo, bool otherVideo) {
    AviFileWriter writer;
    if (!writer.Open(outputPath)) {
        Trace("ExportAVI", __LINE__, "AVI Open failed. %s\n", outputPath.c_str());
        return 0;
    }
    auto streamFailed = [&] {
        Trace("ExportAVI", __LINE__, "SetAviStream failed. %s\n", outputPath.c_str());
        writer.Finish();
        return 0;
    };
    if (!firstVideo && !otherVideo) return streamFailed();

    int referenceStream = 0;
    int firstOut = kNoStream, otherOut = kNoStream, audioOut = kNoStream;
    if (firstVideo) {
        const AviStreamHeader& header = info.streamHeaders[0];
        if (info.streamCount < 1 || info.videoStreamCount < 1 || !IsFourCC(header.fccType, "vids"))
            return streamFailed();
        firstOut = writer.AddStream(header, info.videoFormats[0].data(), kAviVideoFormatSize);
        if (firstOut < 0) return streamFailed();
    }
    if (otherVideo) {
        referenceStream = FirstStreamOfType(info, "vids");
        if (referenceStream == kNoStream || info.videoStreamCount < 2) return streamFailed();
        otherOut = writer.AddStream(info.streamHeaders[static_cast<std::size_t>(referenceStream)],
                                    info.videoFormats[1].data(), kAviVideoFormatSize);
        if (otherOut < 0) return streamFailed();
    }
    const int audioStream = withSound ? FirstStreamOfType(info, "auds") : kNoStream;
    if (audioStream != kNoStream) {  // a recording without sound is exported without it
        audioOut = writer.AddStream(info.streamHeaders[static_cast<std::size_t>(audioStream)],
                                    info.audioFormat.data(), kAviWaveFormatSize);
        if (audioOut < 0) return streamFailed();
    }

    // The n-th reference frame (counted from 1) is shown at round(n x frame duration) ms.
    const double frameMs = info.mainHeader.microSecPerFrame / 1000.0;
    auto frameTime = [&](std::int64_t n) { return std::llround(n * frameMs); };
    const std::vector<AviIndexEntry>& index = info.index;
    const std::size_t count = std::min<std::size_t>(info.indexCount, index.size());
    std::int64_t frames = 0;
    std::size_t i = 0;
    if (startSecond > 0) {
        for (; i < count; ++i) {
            if (StreamOf(index[i]) != referenceStream) continue;
            if (frameTime(++frames) >= std::int64_t{startSecond} * 1000) break;
        }
    }
    // From the first frame at or after the start (not moved back to a key frame) to the last
    // frame within the end second.
    const std::int64_t lastMs = std::int64_t{endSecond} * 1000 + 999;
    std::vector<std::uint8_t> buffer;
    bool copied = true;
    for (; i < count && copied; ++i) {
        const int stream = StreamOf(index[i]);
        if (stream == referenceStream && frameTime(++frames) > lastMs) break;
        int target = kNoStream;
        if (stream == 0 && firstVideo)
            target = firstOut;
        else if (stream == referenceStream && otherVideo)
            target = otherOut;
        else if (stream == audioStream && stream != kNoStream)
            target = audioOut;
        if (target == kNoStream) continue;
        copied = AviStreamWrite(buffer, source, index[i], writer, target, info.moviPosition);
    }
    const bool finished = writer.Finish();
    if (!copied || !finished) {
        Trace("ExportAVI", __LINE__, "AVI export incomplete. %s\n", outputPath.c_str());
        return 0;
    }
    return 1;
}

}  // namespace kx
