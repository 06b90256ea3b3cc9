// stsd: the sample descriptions with their decoder configuration children.
#include <new>

#include "app/Trace.h"
#include "containers/BoxWalk.h"

namespace kx {
namespace {

constexpr std::size_t kSampleEntryHead = 16;
constexpr std::size_t kVisualFields = 70;  // after the head: up to the children
constexpr std::size_t kAudioFields = 20;
// Children start this far into the entry's payload (past its 8-byte header).
constexpr std::size_t kVisualChildren = 8 + 78;
constexpr std::size_t kAudioChildren = 8 + 28;
constexpr std::size_t kEsdsRead = 64;

// The expandable length of ISO/IEC 14496-1: 7 bits per byte while bit 7 is set.
std::uint32_t DescriptorLength(FieldReader& in) {
    std::uint32_t length = 0;
    for (int i = 0; i < 4; ++i) {
        std::uint8_t b = in.U8();
        length = (length << 7) | (b & 0x7F);
        if (!(b & 0x80)) break;
    }
    return length;
}

bool ParseESDS(MediaFile& file, const BoxHeader& box, DecoderConfigRecord& esds) {
    std::vector<std::uint8_t> bytes;
    if (!ReadPayload(file, box, kEsdsRead, bytes)) return false;
    FieldReader in(bytes);
    esds.box = box.Pair();
    esds.version = in.U8();
    esds.flags = in.U24();
    esds.esDescriptorTag = in.U8();
    if (esds.esDescriptorTag != 3) return false;
    DescriptorLength(in);
    esds.esId = in.U16();
    std::uint8_t flags = in.U8();
    esds.streamDependenceFlag = (flags & 0x80) ? 1 : 0;
    esds.urlFlag = (flags & 0x40) ? 1 : 0;
    esds.ocrStreamFlag = (flags & 0x20) ? 1 : 0;
    esds.streamPriority = flags & 0x1F;
    if (esds.streamDependenceFlag) esds.dependsOnEsId = in.U16();
    if (esds.urlFlag) in.Skip(in.U8());
    if (esds.ocrStreamFlag) esds.ocrEsId = in.U16();
    esds.decoderConfigDescriptorTag = in.U8();
    if (esds.decoderConfigDescriptorTag != 4) return false;
    DescriptorLength(in);
    esds.objectTypeIndication = in.U8();
    std::uint8_t stream = in.U8();
    esds.streamType = stream >> 2;
    esds.upStream = (stream >> 1) & 1;
    esds.bufferSizeDB = in.U24();
    esds.maxBitrate = in.U32();
    esds.avgBitrate = in.U32();
    if (in.U8() != 5) return false;
    DescriptorLength(in);
    return in.ok();
}

// avcC or hvcC: a copy of the child's size-field bytes from its payload on (so it ends with the
// 8 bytes after the child), the first four payload bytes and lengthSizeMinusOne.
bool ParserAVCConfigurationBox(MediaFile& file, const BoxHeader& box, AvcConfigRecord& config) {
    config.box = box.Pair();
    if (box.size > file.Size() || box.payload > file.Size() - box.size) {
        Trace("ParserAVCConfigurationBox", __LINE__,
              "pParameterSetNALUnit alloc failed. Size(%d)\n", int(box.size));
        return false;
    }
    config.pParameterSetNALUnit.resize(box.size);
    if (!file.Read(box.payload, config.pParameterSetNALUnit.data(), box.size)) return false;
    const auto& p = config.pParameterSetNALUnit;
    config.configurationVersion = p[0];
    config.profileIndication = p[1];
    config.profileCompatibility = p[2];
    config.levelIndication = p[3];
    config.lengthSizeMinusOne = p[4] & 3;
    return true;
}

bool ParseSpeechConfig(MediaFile& file, const BoxHeader& box, SpeechConfigRecord& speech,
                       bool amr) {
    std::vector<std::uint8_t> bytes;
    if (!ReadPayload(file, box, amr ? 9 : 6, bytes)) return false;
    FieldReader in(bytes);
    speech.box = box.Pair();
    speech.vendor = in.U32();
    speech.decoderVersion = in.U8();
    if (amr) {
        speech.modeSet = in.U16();
        speech.modeChangePeriod = in.U8();
    }
    speech.framesPerSample = in.U8();
    return in.ok();
}

bool IsAudioEntry(std::uint32_t format) {
    return IsPlayableAudioFormat(format) || format == FourCC("ulaw");
}

bool ParseVisualEntry(MediaFile& file, const BoxHeader& entryBox, SampleEntryRecord& entry) {
    std::uint8_t fields[kVisualFields];
    if (!file.Read(entryBox.start + kSampleEntryHead, fields, sizeof fields)) return false;
    entry.width = GetU16(fields + 16);
    entry.height = GetU16(fields + 18);
    std::uint64_t children = entryBox.start + kVisualChildren;
    entry.children = {
        entryBox.size > kVisualChildren ? std::uint32_t(entryBox.size - kVisualChildren) : 0u,
        std::uint32_t(children)};
    bool ok = true;
    bool avc = entry.format == FourCC("avc1") || entry.format == FourCC("hvc1");
    WalkBoxes(file, children, entryBox.end, [&](const BoxHeader& box) {
        if (avc && (box.type == FourCC("avcC") || box.type == FourCC("hvcC"))) {
            ok = ParserAVCConfigurationBox(file, box, entry.config);
        } else if (avc && box.type == FourCC("btrt")) {
            std::vector<std::uint8_t> bytes;
            ok = ReadPayload(file, box, 12, bytes);
            FieldReader in(bytes);
            entry.btrt.box = box.Pair();
            entry.btrt.bufferSizeDB = in.U32();
            entry.btrt.maxBitrate = in.U32();
            entry.btrt.avgBitrate = in.U32();
            ok = ok && in.ok();
        } else if (entry.format == FourCC("mp4v") && box.type == FourCC("esds")) {
            ok = ParseESDS(file, box, entry.esds);
        }
        return ok;
    });
    return ok;
}

bool ParseAudioEntry(MediaFile& file, const BoxHeader& entryBox, SampleEntryRecord& entry) {
    std::uint8_t fields[kAudioFields];
    if (!file.Read(entryBox.start + kSampleEntryHead, fields, sizeof fields)) return false;
    entry.channelCount = GetU16(fields + 8);
    entry.sampleSize = GetU16(fields + 10);
    entry.sampleRate = GetU16(fields + 16);
    std::uint64_t children = entryBox.start + kAudioChildren;
    entry.children = {
        entryBox.size > kAudioChildren ? std::uint32_t(entryBox.size - kAudioChildren) : 0u,
        std::uint32_t(children)};
    bool ok = true;
    WalkBoxes(file, children, entryBox.end, [&](const BoxHeader& box) {
        if (entry.format == FourCC("mp4a") && box.type == FourCC("esds"))
            ok = ParseESDS(file, box, entry.esds);
        else if (entry.format == FourCC("samr") && box.type == FourCC("damr"))
            ok = ParseSpeechConfig(file, box, entry.speech, true);
        else if ((entry.format == FourCC("sevc") && box.type == FourCC("devc")) ||
                 (entry.format == FourCC("sqcp") && box.type == FourCC("dqcp")))
            ok = ParseSpeechConfig(file, box, entry.speech, false);
        return ok;
    });
    return ok;
}

}  // namespace

bool ParseSTSD(MediaFile& file, const BoxHeader& box, StsdRecord& stsd) {
    std::uint8_t head[8];
    if (box.end < box.payload + sizeof head || !file.Read(box.payload, head, sizeof head))
        return false;
    stsd.box = box.Pair();
    stsd.version = head[0];
    stsd.flags = GetU24(head + 1);
    stsd.entryCount = GetU32(head + 4);
    if (stsd.entryCount == 0) return false;
    // Every entry takes at least its 16-byte head.
    std::uint64_t room = box.end - (box.payload + sizeof head);
    if (stsd.entryCount > room / kSampleEntryHead) {
        Trace("ParseSTSD", __LINE__, "PSampleEntry alloc failed. Count(%d)\n",
              int(stsd.entryCount));
        stsd.entryCount = 0;
        return false;
    }
    stsd.PSampleEntry.assign(stsd.entryCount, SampleEntryRecord{});
    std::uint64_t position = box.payload + sizeof head;
    for (SampleEntryRecord& entry : stsd.PSampleEntry) {
        std::uint8_t entryHead[kSampleEntryHead];
        if (position + kSampleEntryHead > box.end ||
            !file.Read(position, entryHead, sizeof entryHead))
            return false;
        std::uint32_t size = GetU32(entryHead);
        if (size < 8) break;
        entry.size = size;
        entry.pos = std::uint32_t(position);
        entry.format = GetU32(entryHead + 4);
        entry.dataReferenceIndex = GetU16(entryHead + 14);
        BoxHeader entryBox{size, entry.format, position, position + 8,
                           std::min<std::uint64_t>(position + size, box.end)};
        bool ok = true;
        if (IsPlayableVideoFormat(entry.format))
            ok = ParseVisualEntry(file, entryBox, entry);
        else if (IsAudioEntry(entry.format))
            ok = ParseAudioEntry(file, entryBox, entry);
        if (!ok) return false;
        position += size;
    }
    return true;
}

}  // namespace kx
