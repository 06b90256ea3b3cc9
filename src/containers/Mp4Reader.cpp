// The MP4 walk: top level, moov, tracks and their tables. Sample descriptions are in
// Mp4SampleEntries.cpp, the camera's metadata in Mp4Metadata.cpp.
#include <new>

#include "app/Trace.h"
#include "containers/BoxWalk.h"

namespace kx {
namespace {

// Upper bounds of the fixed-size boxes read whole.
constexpr std::size_t kFullHeaderRead = 128;
constexpr std::size_t kElstEntryV1 = 20;
constexpr std::size_t kElstEntryV0 = 12;

bool ParseMVHD(MediaFile& file, const BoxHeader& box, MvhdRecord& mvhd) {
    std::vector<std::uint8_t> bytes;
    if (!ReadPayload(file, box, kFullHeaderRead, bytes)) return false;
    FieldReader in(bytes);
    mvhd.box = box.Pair();
    mvhd.version = in.U8();
    mvhd.flags = in.U24();
    bool wide = mvhd.version == 1;
    mvhd.creationTime = wide ? in.U64() : in.U32();
    mvhd.modificationTime = wide ? in.U64() : in.U32();
    mvhd.timescale = in.U32();
    mvhd.duration = wide ? in.U64() : in.U32();
    in.Skip(4 + 2 + 10 + 36 + 24);  // rate, volume, reserved, matrix, pre_defined
    mvhd.nextTrackId = in.U32();
    return in.ok();
}

bool ParseTKHD(MediaFile& file, const BoxHeader& box, TkhdRecord& tkhd) {
    std::vector<std::uint8_t> bytes;
    if (!ReadPayload(file, box, kFullHeaderRead, bytes)) return false;
    FieldReader in(bytes);
    tkhd.box = box.Pair();
    tkhd.version = in.U8();
    tkhd.flags = in.U24();
    bool wide = tkhd.version == 1;
    tkhd.creationTime = wide ? in.U64() : in.U32();
    tkhd.modificationTime = wide ? in.U64() : in.U32();
    tkhd.trackId = in.U32();
    in.Skip(4);  // reserved
    tkhd.duration = wide ? in.U64() : in.U32();
    in.Skip(8 + 2 + 2 + 2 + 2 + 36);  // reserved, layer, alternate_group, volume, reserved, matrix
    tkhd.width = std::uint16_t(in.U32() >> 16);
    tkhd.height = std::uint16_t(in.U32() >> 16);
    return in.ok();
}

bool ParseMDHD(MediaFile& file, const BoxHeader& box, MdhdRecord& mdhd) {
    std::vector<std::uint8_t> bytes;
    if (!ReadPayload(file, box, kFullHeaderRead, bytes)) return false;
    FieldReader in(bytes);
    mdhd.box = box.Pair();
    mdhd.version = in.U8();
    mdhd.flags = in.U24();
    bool wide = mdhd.version == 1;
    mdhd.creationTime = wide ? in.U64() : in.U32();
    mdhd.modificationTime = wide ? in.U64() : in.U32();
    mdhd.timescale = in.U32();
    mdhd.duration = wide ? in.U64() : in.U32();
    mdhd.language = in.U16();
    return in.ok();
}

bool ParseHDLR(MediaFile& file, const BoxHeader& box, HdlrRecord& hdlr) {
    std::vector<std::uint8_t> bytes;
    if (!ReadPayload(file, box, 12, bytes)) return false;
    FieldReader in(bytes);
    hdlr.box = box.Pair();
    hdlr.version = in.U8();
    hdlr.flags = in.U24();
    in.Skip(4);  // pre_defined
    hdlr.handlerType = in.U32();
    return in.ok();
}

// stts, stsc, stco, stss: version, flags and the entry count.
bool ParseTableHead(MediaFile& file, const BoxHeader& box, TableHead& table) {
    std::uint8_t head[8];
    if (box.end < box.payload + sizeof head || !file.Read(box.payload, head, sizeof head))
        return false;
    table.box = box.Pair();
    table.version = head[0];
    table.flags = GetU24(head + 1);
    table.entryCount = GetU32(head + 4);
    return true;
}

bool ParseELST(MediaFile& file, const BoxHeader& box, ElstRecord& elst) {
    std::uint8_t head[8];
    if (box.end < box.payload + sizeof head || !file.Read(box.payload, head, sizeof head))
        return false;
    elst.box = box.Pair();
    elst.version = head[0];
    elst.flags = GetU24(head + 1);
    elst.entryCount = GetU32(head + 4);
    if (elst.entryCount == 0) return false;
    std::size_t entrySize = elst.version == 1 ? kElstEntryV1 : kElstEntryV0;
    std::uint64_t room = box.end - (box.payload + sizeof head);
    if (std::uint64_t(elst.entryCount) > room / entrySize) {
        Trace("ParseELST", __LINE__, "ELSTEntry alloc failed. Count(%d)\n", int(elst.entryCount));
        elst.entryCount = 0;
        return false;
    }
    std::vector<std::uint8_t> bytes(std::size_t(elst.entryCount) * entrySize);
    if (!file.Read(box.payload + sizeof head, bytes.data(), bytes.size())) return false;
    FieldReader in(bytes);
    elst.entries.assign(elst.entryCount, ELSTEntry{});
    for (ELSTEntry& entry : elst.entries) {
        if (elst.version == 1) {
            entry.segmentDuration = in.U64();
            entry.mediaTime = std::int64_t(in.U64());
        } else {
            entry.segmentDuration = in.U32();
            entry.mediaTime = std::int32_t(in.U32());
        }
        entry.mediaRateInteger = std::int16_t(in.U16());
        entry.mediaRateFraction = std::int16_t(in.U16());
    }
    return true;
}

// A table whose entries do not fit its box was cut or damaged: it counts as a failed parse, so
// that no entry is ever read from beyond it.
bool EntriesFit(const BoxHeader& box, std::uint64_t head, std::uint64_t count,
                std::uint64_t entrySize) {
    std::uint64_t declaredEnd = box.start + box.size;
    return declaredEnd == box.end && box.payload + head + count * entrySize <= box.end;
}

bool ParseTable(MediaFile& file, const BoxHeader& box, TableHead& table, std::uint64_t entrySize) {
    if (ParseTableHead(file, box, table) && EntriesFit(box, 8, table.entryCount, entrySize))
        return true;
    table = TableHead{};
    return false;
}

void ParseSTBL(MediaFile& file, const BoxHeader& stbl, TRAKBOX& track) {
    track.stbl = stbl.Pair();
    WalkBoxes(file, stbl.payload, stbl.end, [&](const BoxHeader& box) {
        switch (box.type) {
            case FourCC("stsd"):
                return ParseSTSD(file, box, track.stsd);
            case FourCC("stts"):
                return ParseTable(file, box, track.stts, 8) && track.stts.entryCount != 0;
            case FourCC("stsc"):
                return ParseTable(file, box, track.stsc, 12) && track.stsc.entryCount != 0;
            case FourCC("stsz"): {
                std::uint8_t head[12];
                if (box.end < box.payload + sizeof head ||
                    !file.Read(box.payload, head, sizeof head))
                    return false;
                track.stsz.box = box.Pair();
                track.stsz.version = head[0];
                track.stsz.flags = GetU24(head + 1);
                track.stsz.sampleSize = GetU32(head + 4);
                track.stsz.sampleCount = GetU32(head + 8);
                if (!EntriesFit(box, 12, track.stsz.sampleSize ? 0 : track.stsz.sampleCount, 4)) {
                    track.stsz = StszRecord{};
                    return false;
                }
                return true;
            }
            case FourCC("stco"):
                return ParseTable(file, box, track.stco, 4);
            case FourCC("stss"):
                return ParseTable(file, box, track.stss, 4);
            default:
                return true;
        }
    });
}

void ParseMINF(MediaFile& file, const BoxHeader& minf, TRAKBOX& track) {
    track.minf.box = minf.Pair();
    WalkBoxes(file, minf.payload, minf.end, [&](const BoxHeader& box) {
        switch (box.type) {
            case FourCC("dinf"):
                track.minf.dinf = box.Pair();
                break;
            case FourCC("vmhd"):
            case FourCC("smhd"):
            case FourCC("hmhd"):
            case FourCC("nmhd"):
                track.minf.mediaHeaderType = box.type;
                break;
            case FourCC("stbl"):
                ParseSTBL(file, box, track);
                break;
            default:
                break;
        }
        return true;
    });
}

void ParseMDIA(MediaFile& file, const BoxHeader& mdia, TRAKBOX& track) {
    track.mdia = mdia.Pair();
    WalkBoxes(file, mdia.payload, mdia.end, [&](const BoxHeader& box) {
        switch (box.type) {
            case FourCC("mdhd"):
                return ParseMDHD(file, box, track.mdhd);
            case FourCC("hdlr"):
                return ParseHDLR(file, box, track.hdlr);
            case FourCC("minf"):
                ParseMINF(file, box, track);
                return true;
            default:
                return true;
        }
    });
}

bool ParseTRAK(MediaFile& file, const BoxHeader& trak, TRAKBOX& track) {
    track.trak = trak.Pair();
    bool ok = true;
    WalkBoxes(file, trak.payload, trak.end, [&](const BoxHeader& box) {
        switch (box.type) {
            case FourCC("tkhd"):
                ok = ParseTKHD(file, box, track.tkhd);
                return ok;
            case FourCC("edts"):
                // A bad edit list only leaves the list empty.
                track.edts.box = box.Pair();
                WalkBoxes(file, box.payload, box.end, [&](const BoxHeader& child) {
                    if (child.type != FourCC("elst")) return true;
                    if (!ParseELST(file, child, track.edts.elst)) {
                        track.edts.elst.entries.clear();
                        track.edts.elst.entryCount = 0;
                        return false;
                    }
                    return true;
                });
                return true;
            case FourCC("mdia"):
                ParseMDIA(file, box, track);
                return true;
            case FourCC("tref"):
                track.tref = box.Pair();
                return true;
            default:
                return true;
        }
    });
    return ok;
}

}  // namespace

bool ParseMOOV(MediaFile& file, const BoxHeader& moovBox, MOOVBOX& moov) {
    moov.moov = moovBox.Pair();
    bool ok = true;
    WalkBoxes(file, moovBox.payload, moovBox.end, [&](const BoxHeader& box) {
        switch (box.type) {
            case FourCC("junk"):
                moov.junk = box.Pair();
                return true;
            case FourCC("mvhd"):
                ok = ParseMVHD(file, box, moov.mvhd);
                return ok;
            case FourCC("trak"): {
                int held = 0;
                while (held < kMaxTracks && moov.trak[held]) ++held;
                if (held == kMaxTracks) {
                    ok = false;
                    return false;
                }
                auto track = std::unique_ptr<TRAKBOX>(new (std::nothrow) TRAKBOX{});
                if (!track) {
                    Trace("ParseMOOV", __LINE__, "TRAKBOX alloc failed. count(%d)\n", held);
                    ok = false;
                    return false;
                }
                // A damaged track is dropped and its slot reused; the moov goes on.
                if (ParseTRAK(file, box, *track)) moov.trak[held] = std::move(track);
                return true;
            }
            default:
                return true;
        }
    });
    return ok;
}

namespace {

bool ParseFTYP(MediaFile& file, const BoxHeader& box, FtypBox& ftyp) {
    ftyp.box = box.Pair();
    std::uint8_t head[8];
    if (box.end < box.payload + sizeof head || !file.Read(box.payload, head, sizeof head))
        return true;
    ftyp.majorBrand = GetU32(head);
    ftyp.minorVersion = GetU32(head + 4);
    return true;
}

}  // namespace

int ParseMP4(MediaFile& file, MP4FILE files[2], bool allowDuplicates) {
    std::uint64_t length = file.Size();
    if (length < 8) return 0;
    enum : unsigned { kFtyp = 1, kMoov = 2, kMdat = 4, kFree = 8, kAll = 15 };
    unsigned seen = 0;
    int result = 1;
    WalkBoxes(file, 0, length, [&](const BoxHeader& box) {
        unsigned bit = 0;
        switch (box.type) {
            case FourCC("ftyp"):
                bit = kFtyp;
                break;
            case FourCC("moov"):
                bit = kMoov;
                break;
            case FourCC("mdat"):
                bit = kMdat;
                break;
            case FourCC("free"):
                bit = kFree;
                break;
            default:
                return true;
        }
        MP4FILE* target = &files[0];
        if (seen & bit) {
            if (!allowDuplicates) return false;
            target = &files[1];
        }
        seen |= bit;
        switch (bit) {
            case kFtyp:
                ParseFTYP(file, box, target->ftyp);
                break;
            case kMoov:
                // A moov that runs past the end of the file was cut short: it describes the
                // movie only in part, so it is not taken (the file then needs a repair).
                if (box.start + box.size > length) break;
                // A third moov overwrites the second record's: start that record's moov afresh.
                target->moov = MOOVBOX{};
                result = ParseMOOV(file, box, target->moov) ? 1 : 0;
                if (!result) return false;
                break;
            case kMdat:
                target->mdat = box.Pair();
                break;
            case kFree:
                ParseFREE(file, box, *target);
                break;
        }
        return allowDuplicates || seen != kAll;
    });
    return result;
}

int ParseMP4Bytes(std::string_view bytes, MP4FILE files[2], bool allowDuplicates) {
    MemoryFile file(bytes);
    ParseMP4(file, files, allowDuplicates);
    return IsMP4Playable(files[0]) ? 1 : 0;
}

bool IsPlayableAudioFormat(std::uint32_t format) {
    switch (format) {
        case FourCC("mp4a"):
        case FourCC("samr"):
        case FourCC("sawb"):
        case FourCC("secb"):
        case FourCC("secw"):
        case FourCC("sevc"):
        case FourCC("sqcp"):
        case FourCC("ssmv"):
            return true;
        default:
            return false;
    }
}

bool IsPlayableVideoFormat(std::uint32_t format) {
    switch (format) {
        case FourCC("avc1"):
        case FourCC("hvc1"):
        case FourCC("mp4v"):
        case FourCC("s263"):
            return true;
        default:
            return false;
    }
}

bool TrackQualifies(const TRAKBOX& track) {
    if (!track.mdia.pos || !track.minf.box.pos || !track.stbl.pos || !track.stsd.box.pos ||
        !track.stts.box.pos || !track.stsc.box.pos || !track.stsz.box.pos || !track.stco.box.pos)
        return false;
    for (const SampleEntryRecord& entry : track.stsd.PSampleEntry) {
        if (track.hdlr.handlerType == FourCC("soun") && IsPlayableAudioFormat(entry.format))
            return true;
        if (track.hdlr.handlerType == FourCC("vide") && IsPlayableVideoFormat(entry.format))
            return true;
    }
    return false;
}

bool IsMP4Playable(const MP4FILE& file) {
    if (!file.moov.moov.pos || !file.mdat.pos) return false;
    const TRAKBOX* first = file.moov.trak[0].get();
    if (!first || !first->trak.pos || !first->tkhd.box.pos) return false;
    for (const auto& track : file.moov.trak)
        if (track && TrackQualifies(*track)) return true;
    return false;
}

int GetDurationSeconds(const MP4FILE& file) {
    const MvhdRecord& mvhd = file.moov.mvhd;
    std::uint64_t duration = mvhd.version == 1 ? mvhd.duration : std::uint32_t(mvhd.duration);
    // A zero timescale cannot be measured; its raw duration would be a meaningless count.
    if (duration == 0 || mvhd.timescale == 0) return 0;
    if (duration < mvhd.timescale) return 1;
    std::uint64_t seconds = duration / mvhd.timescale;
    return seconds > 185 ? 0 : int(seconds);
}

void ReleaseMP4(MP4FILE& file) {
    for (auto& track : file.moov.trak) track.reset();
    for (KvviRecord* kvvi : {&file.kvrc.kvvi, &file.kvrh.kvvi}) kvvi->configs.clear();
    for (KvsoRecord* kvso : {&file.kvrc.kvso, &file.kvrh.kvso}) kvso->configs.clear();
}

}  // namespace kx
