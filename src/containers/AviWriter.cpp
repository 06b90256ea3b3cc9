#include "containers/AviWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace kx {
namespace {

constexpr std::size_t kAvihChunkSize = 8 + 56;  // header and a 56-byte main header
constexpr std::uint32_t kInterleaved = 0x100;   // avih flag

}  // namespace

bool AviFileWriter::Open(const std::filesystem::path& path) {
    file_ = OpenFile(path, "wb");
    streams_.clear();
    index_.clear();
    moviBegun_ = failed_ = false;
    return file_ != nullptr;
}

int AviFileWriter::AddStream(const AviStreamHeader& info, const std::uint8_t* format,
                             std::size_t formatSize) {
    if (!file_ || moviBegun_ || streams_.size() >= kAviWriterMaxStreams) return -1;
    if (formatSize > 0 && !format) return -1;
    Stream stream;
    std::memcpy(stream.header.fccType, info.fccType, 4);
    std::memcpy(stream.header.fccHandler, info.fccHandler, 4);
    stream.header.scale = info.scale;
    stream.header.rate = info.rate;
    stream.header.quality = info.quality;
    stream.header.sampleSize = info.sampleSize;
    stream.header.frameRight = info.frameRight;
    stream.header.frameBottom = info.frameBottom;
    if (format) stream.format.assign(format, format + formatSize);
    const int number = static_cast<int>(streams_.size());
    const char* suffix = IsFourCC(info.fccType, "vids")   ? "dc"
                         : IsFourCC(info.fccType, "auds") ? "wb"
                                                          : "tx";
    stream.chunkId[0] = static_cast<char>('0' + number / 10);
    stream.chunkId[1] = static_cast<char>('0' + number % 10);
    stream.chunkId[2] = suffix[0];
    stream.chunkId[3] = suffix[1];
    streams_.push_back(std::move(stream));
    return number;
}

std::size_t AviFileWriter::HeaderSize() const {
    std::size_t hdrl = 12 + kAvihChunkSize;
    for (const Stream& stream : streams_)
        hdrl += 12 + 8 + kAviStreamHeaderSize + 8 + stream.format.size() + stream.format.size() % 2;
    return 12 + hdrl + 12;  // RIFF header, hdrl, movi list header
}

std::vector<std::uint8_t> AviFileWriter::BuildHeader(std::uint32_t riffSize,
                                                     std::uint32_t moviSize) const {
    std::vector<std::uint8_t> out;
    out.reserve(HeaderSize());
    AppendFourCC(out, "RIFF");
    AppendLe32(out, riffSize);
    AppendFourCC(out, "AVI ");
    AppendFourCC(out, "LIST");
    AppendLe32(out, static_cast<std::uint32_t>(HeaderSize() - 12 - 12 - 8));
    AppendFourCC(out, "hdrl");

    AviMainHeader main;
    const Stream* video = nullptr;
    std::uint64_t totalBytes = 0;
    std::uint32_t largest = 0;
    for (const Stream& stream : streams_) {
        if (!video && IsFourCC(stream.header.fccType, "vids")) video = &stream;
        totalBytes += stream.bytes;
        largest = std::max(largest, stream.largest);
    }
    if (video && video->header.rate > 0) {
        const double period = 1e6 * video->header.scale / video->header.rate;
        main.microSecPerFrame = static_cast<std::uint32_t>(std::lround(period));
        main.totalFrames = video->samples;
        main.width = static_cast<std::uint32_t>(std::max<int>(0, video->header.frameRight));
        main.height = static_cast<std::uint32_t>(std::max<int>(0, video->header.frameBottom));
        const double seconds = video->samples * period / 1e6;
        if (seconds > 0)
            main.maxBytesPerSec = static_cast<std::uint32_t>(
                std::min<double>(totalBytes / seconds, std::numeric_limits<std::uint32_t>::max()));
    }
    main.flags = kAviHasIndex | kInterleaved;
    main.streams = static_cast<std::uint32_t>(streams_.size());
    main.suggestedBufferSize = largest + 8;
    AppendFourCC(out, "avih");
    AppendLe32(out, 56);
    std::uint8_t mainBytes[56] = {};
    EncodeMainHeader(main, mainBytes);
    out.insert(out.end(), mainBytes, mainBytes + 56);

    for (const Stream& stream : streams_) {
        const std::size_t formatChunk = 8 + stream.format.size() + stream.format.size() % 2;
        AppendFourCC(out, "LIST");
        AppendLe32(out, static_cast<std::uint32_t>(4 + 8 + kAviStreamHeaderSize + formatChunk));
        AppendFourCC(out, "strl");
        AviStreamHeader header = stream.header;
        header.suggestedBufferSize = stream.largest;
        header.length = stream.header.sampleSize > 0
                            ? static_cast<std::uint32_t>(stream.bytes / stream.header.sampleSize)
                            : stream.samples;
        AppendFourCC(out, "strh");
        AppendLe32(out, kAviStreamHeaderSize);
        std::uint8_t headerBytes[kAviStreamHeaderSize];
        EncodeStreamHeader(header, headerBytes);
        out.insert(out.end(), headerBytes, headerBytes + kAviStreamHeaderSize);
        AppendFourCC(out, "strf");
        AppendLe32(out, static_cast<std::uint32_t>(stream.format.size()));
        out.insert(out.end(), stream.format.begin(), stream.format.end());
        if (stream.format.size() % 2) out.push_back(0);
    }
    AppendFourCC(out, "LIST");
    AppendLe32(out, moviSize);
    AppendFourCC(out, "movi");
    return out;
}

bool AviFileWriter::BeginMovi() {
    if (moviBegun_) return true;
    const std::vector<std::uint8_t> header = BuildHeader(0, 4);
    if (!WriteAt(file_.get(), 0, header.data(), header.size())) return false;
    moviStart_ = static_cast<std::int64_t>(header.size()) - 4;
    position_ = static_cast<std::int64_t>(header.size());
    moviBegun_ = true;
    return true;
}

bool AviFileWriter::WriteSample(int stream, const void* data, std::uint32_t size,
                                std::uint32_t flags) {
    if (!file_ || failed_ || stream < 0 || stream >= static_cast<int>(streams_.size()))
        return false;
    if (size > 0 && !data) return false;
    if (!BeginMovi()) return failed_ = true, false;
    Stream& target = streams_[static_cast<std::size_t>(stream)];
    const std::int64_t chunkEnd = position_ + 8 + size + size % 2;
    // The RIFF size, which also covers the index still to come, must stay a 32-bit value.
    const std::uint64_t indexEnd = (index_.size() + 1) * std::uint64_t{kAviIndexEntrySize} + 8;
    if (static_cast<std::uint64_t>(chunkEnd) + indexEnd > std::numeric_limits<std::uint32_t>::max())
        return failed_ = true, false;

    std::uint8_t header[8];
    std::memcpy(header, target.chunkId, 4);
    PutLe32(header + 4, size);
    const std::uint8_t pad = 0;
    if (std::fwrite(header, 1, 8, file_.get()) != 8 ||
        (size > 0 && std::fwrite(data, 1, size, file_.get()) != size) ||
        (size % 2 && std::fwrite(&pad, 1, 1, file_.get()) != 1))
        return failed_ = true, false;

    AviIndexEntry entry;
    std::memcpy(entry.chunkId, target.chunkId, 4);
    entry.flags = flags;
    entry.offset = static_cast<std::uint32_t>(position_ - moviStart_);
    entry.size = size;
    index_.push_back(entry);
    position_ = chunkEnd;
    ++target.samples;
    target.bytes += size;
    target.largest = std::max(target.largest, size);
    return true;
}

bool AviFileWriter::Finish() {
    if (!file_) return false;
    bool ok = !failed_ && BeginMovi();
    if (ok) {
        std::vector<std::uint8_t> index;
        index.reserve(8 + index_.size() * kAviIndexEntrySize);
        AppendFourCC(index, "idx1");
        AppendLe32(index, static_cast<std::uint32_t>(index_.size() * kAviIndexEntrySize));
        std::uint8_t entry[kAviIndexEntrySize];
        for (const AviIndexEntry& e : index_) {
            EncodeIndexEntry(e, entry);
            index.insert(index.end(), entry, entry + kAviIndexEntrySize);
        }
        const std::int64_t end = position_ + static_cast<std::int64_t>(index.size());
        const std::vector<std::uint8_t> header =
            BuildHeader(static_cast<std::uint32_t>(end - 8),
                        static_cast<std::uint32_t>(position_ - moviStart_));
        ok = WriteAt(file_.get(), position_, index.data(), index.size()) &&
             WriteAt(file_.get(), 0, header.data(), header.size());
    }
    ok = (std::fclose(file_.release()) == 0) && ok;
    return ok;
}

}  // namespace kx
