// Sequential output of a movie: the file header with the camera's metadata, and samples with
// their sample records.
#include <cstring>

#include "containers/ByteOrder.h"
#include "containers/MediaFile.h"
#include "containers/Mp4Writer.h"

namespace kx {
namespace {

constexpr std::size_t kOutputBufferSize = 1 << 20;
constexpr char kBuiltInVendorText[] = "Korvane Corporation;KX-TMQ4";
constexpr std::uint8_t kKvnmVersionEarlier = 3;
constexpr std::uint8_t kKvnmVersionLater = 4;
constexpr std::uint8_t kAvcIdrNal = 5;
constexpr std::uint8_t kHevcIdrWRadlHeader = 0x26;

void WriteConfigStrings(ByteWriter& out, const std::vector<ConfigParam>& configs) {
    out.U16(std::uint32_t(configs.size()));
    for (const ConfigParam& config : configs) {
        out.U16(std::uint32_t(config.szConfigStr.size()));
        out.Bytes(config.szConfigStr);
    }
}

}  // namespace

bool Mp4Output::Write(std::string_view bytes) {
    if (!ok_) return false;
    if (buffer_.size() + bytes.size() > kOutputBufferSize && !Flush()) return false;
    if (bytes.size() >= kOutputBufferSize) {
        ok_ = file_.Write(position_, bytes.data(), bytes.size());
    } else {
        buffer_.append(bytes);
    }
    if (ok_) position_ += bytes.size();
    return ok_;
}

bool Mp4Output::Flush() {
    if (!ok_) return false;
    if (!buffer_.empty()) {
        std::uint64_t at = position_ - buffer_.size();
        ok_ = file_.Write(at, buffer_.data(), buffer_.size());
        buffer_.clear();
    }
    return ok_;
}

bool WriteFileHeader(Mp4Output& out, MP4FILE& description, const MP4FILE& source,
                     std::uint64_t startTime, bool withSound, const FileHeaderExtras* extras) {
    ByteWriter head;
    std::size_t ftyp = head.Open(FourCC("ftyp"));
    head.U32(FourCC("mp42"));
    head.U32(1);
    head.U32(FourCC("mp42"));
    head.U32(FourCC("mp42"));
    head.Close(ftyp);

    std::size_t free = head.Open(FourCC("free"));
    std::size_t cprt = head.Open(FourCC("cprt"));
    if (source.cprt.box.pos && source.cprt.text[0]) {
        head.U8(' ');
        head.Bytes(source.cprt.text, strnlen(source.cprt.text, kCprtTextCapacity - 1));
    } else {
        head.U8(' ');
        head.Bytes(kBuiltInVendorText, sizeof kBuiltInVendorText - 1);
    }
    head.U8(0);
    head.Close(cprt);
    std::size_t sttm = head.Open(FourCC("sttm"));
    head.U64(startTime);
    head.Close(sttm);
    if (source.kvnm.name[0]) {
        std::size_t kvnm = head.Open(FourCC("kvnm"));
        head.U8(source.newFormat ? kKvnmVersionLater : kKvnmVersionEarlier);
        head.U24(0);
        head.Bytes(source.kvnm.name, strnlen(source.kvnm.name, kKvnmNameCapacity - 1) + 1);
        head.Close(kvnm);
    }
    if (!source.newFormat) {
        const KvviRecord& kvvi = description.kvrh.kvvi;
        const KvsoRecord& kvso = description.kvrh.kvso;
        std::size_t kvrh = head.Open(FourCC("kvrh"));
        std::size_t kvviBox = head.Open(FourCC("kvvi"));
        head.U16(1);
        head.U32(FourCCFromCodecId(kvvi.codecId));
        head.U16(kvvi.width);
        head.U16(kvvi.height);
        WriteConfigStrings(head, kvvi.configs);
        head.Close(kvviBox);
        if (withSound) {
            std::size_t kvsoBox = head.Open(FourCC("kvso"));
            head.U16(2);
            head.U32(FourCCFromCodecId(kvso.codecId));
            head.U16(kvso.channelCount);
            head.U16(kvso.bitsPerSample);
            head.U32(kvso.sampleRate);
            WriteConfigStrings(head, kvso.configs);
            head.Close(kvsoBox);
        }
        head.Close(kvrh);
    }
    if (extras) head.Bytes(extras->freeBoxes);
    head.Close(free);
    if (extras && extras->moovReserve >= 16) {
        std::size_t moov = head.Open(FourCC("moov"));
        head.U32(extras->moovReserve - 8);
        head.U32(FourCC("junk"));
        head.Zeros(extras->moovReserve - 16);
        head.Close(moov);
    }
    head.U32(extras ? extras->mdatSize : 0);
    head.U32(FourCC("mdat"));
    if (!out.Write(head.str())) return false;
    description.mdat = {0, std::uint32_t(out.position())};
    return out.position() <= UINT32_MAX;
}

std::string SampleRecord(std::uint16_t type, std::uint16_t key, std::uint32_t time,
                         std::uint32_t size) {
    ByteWriter record;
    record.U16(type);
    record.U16(key);
    record.U32(time);
    record.U32(size);
    record.U32(0);
    return record.str();
}

bool WriteVideoSample(Mp4Output& out, MP4MBOX_NODE& node, std::uint32_t codecId, int nalLengthSize,
                      std::uint32_t time, bool key, std::string_view data, bool newFormat) {
    bool tagged = codecId == kCodecMp4v || codecId == kCodecAvc1 || codecId == kCodecHvc1;
    std::uint16_t type = tagged ? kSampleRecordVideo : kSampleRecordAudio;
    bool keyFlag = tagged && key;
    // A bare NAL unit (no length field) gets a 4-byte length in front.
    bool bare = codecId == kCodecAvc1 && nalLengthSize == 0;
    if (data.size() > UINT32_MAX - 4) return false;
    std::uint32_t size = std::uint32_t(data.size() + (bare ? 4 : 0));
    if (!newFormat && !out.Write(SampleRecord(type, keyFlag ? 1 : 0, time, size))) return false;
    std::uint64_t offset = out.movieOffset();
    if (bare) {
        std::uint8_t length[4];
        PutU32(length, std::uint32_t(data.size()));
        if (!out.Write({reinterpret_cast<char*>(length), 4})) return false;
    }
    if (!out.Write(data)) return false;
    return AddSample(node, time, size, offset, keyFlag, type == kSampleRecordVideo);
}

bool IsKeyFrame(std::uint32_t codecId, std::string_view sample) {
    auto byte = [&](std::size_t i) { return std::uint8_t(sample[i]); };
    switch (codecId) {
        case kCodecMp4v:
            // The first VOP start code; vop_coding_type 0 (I) in its top two bits.
            for (std::size_t at = 0; sample.size() > 5 && at < sample.size() - 5; at += 4) {
                if (byte(at) == 0 && byte(at + 1) == 0 && byte(at + 2) == 1 && byte(at + 3) == 0xB6)
                    return byte(at + 4) < 64;
            }
            return false;
        case kCodecAvc1:
            return sample.size() > 4 && (byte(4) & 0x1F) == kAvcIdrNal;
        case kCodecHvc1:
            return sample.size() > 4 && byte(4) == kHevcIdrWRadlHeader;
        default:
            return false;
    }
}

}  // namespace kx
