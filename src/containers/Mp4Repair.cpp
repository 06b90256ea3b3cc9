#include "containers/Mp4Repair.h"

#include "app/Trace.h"
#include "containers/ByteOrder.h"
#include "containers/MediaFile.h"

namespace kx {
namespace {

constexpr std::uint8_t kKvnmVersionRepaired = 2;

struct WalkResult {
    bool ok = false;
    std::uint64_t endOfMedia = 0;
};

bool RepairPreconditions(const MP4FILE& mp4) {
    const KvviRecord& kvvi = mp4.kvrh.kvvi;
    const KvsoRecord& kvso = mp4.kvrh.kvso;
    if (!mp4.mdat.pos || !mp4.sttm.box.pos || !mp4.sttm.box.size) return false;
    if (!mp4.kvrh.box.pos || !kvvi.box.pos || !kvvi.trackId) return false;
    bool soundPresent = kvso.box.pos && kvso.trackId;
    bool soundAbsent = !kvso.box.pos && !kvso.trackId;
    if (!soundPresent && !soundAbsent) return false;
    if (kvvi.codecId != kCodecAvc1 && kvvi.codecId != kCodecHvc1) return false;
    if (kvvi.configs.size() < 2) return false;
    if (soundPresent && (kvso.codecId != kCodecMp4a || kvso.trackId == kvvi.trackId)) return false;
    // The metadata must lie in front of the media: everything from the end of the accepted
    // records on may be overwritten.
    for (std::uint32_t pos :
         {mp4.sttm.box.pos, mp4.kvrh.box.pos, mp4.kvnm.box.pos, mp4.cprt.box.pos, mp4.ftyp.box.pos})
        if (pos >= mp4.mdat.pos) return false;
    return true;
}

// Walks the sample records from the start of the mdat into the nodes.
WalkResult WalkRecords(const MP4FILE& mp4, MediaFile& file, std::uint64_t fileLength,
                       MP4MBOX_NODE& video, MP4MBOX_NODE* audio) {
    const std::uint16_t videoId = mp4.kvrh.kvvi.trackId;
    const std::uint16_t audioId = mp4.kvrh.kvso.trackId;
    std::uint64_t position = mp4.mdat.pos;
    std::uint64_t origin = 0;
    std::uint64_t lastVideo = 0, lastAudio = 0;
    std::uint32_t accepted = 0;
    WalkResult result;
    while (position + kSampleRecordSize <= fileLength) {
        std::uint8_t record[kSampleRecordSize];
        if (!file.Read(position, record, sizeof record)) break;
        const std::uint16_t type = GetU16(record);
        const std::uint16_t key = GetU16(record + 2);
        const std::uint32_t time = GetU32(record + 4);
        const std::uint32_t size = GetU32(record + 8);
        const std::uint32_t gap = GetU32(record + 12);
        const std::uint64_t data = position + kSampleRecordSize + gap;
        if (type != kSampleRecordVideo && type != kSampleRecordAudio) break;
        if (size == 0 || key > 1) break;
        if (type == videoId && time < lastVideo) break;
        if (audio && type == audioId && time < lastAudio) break;
        if (data + size > fileLength || data + size > UINT32_MAX) break;
        bool empty = video.samplesAdded == 0 && (!audio || audio->samplesAdded == 0);
        if (empty) origin = time;
        const std::uint32_t relative = time > origin ? std::uint32_t(time - origin) : 0;
        if (type == videoId) {
            if (!AddSample(video, relative, size, data, key == 1, true)) break;
            lastVideo = time;
        } else if (audio && type == audioId) {
            if (!AddSample(*audio, relative, size, data, false, false)) break;
            lastAudio = time;
        } else {
            Trace("RepairMP4", __LINE__, "record of track %u without its summary\n", type);
            return result;  // a track the summaries do not describe: the repair fails
        }
        ++accepted;
        position = data + size;
    }
    // Sound alone makes no recording to play: without a picture nothing is rewritten.
    result.ok = accepted > 0 && video.samplesAdded > 0;
    result.endOfMedia = position;
    return result;
}

bool WriteU32(MediaFile& file, std::uint64_t at, std::uint32_t value) {
    std::uint8_t bytes[4];
    PutU32(bytes, value);
    return file.Write(at, bytes, sizeof bytes);
}

// Whatever follows the new moov up to the end of the file becomes padding; a stub too short
// for a box header is cut off.
bool CoverTail(MediaFile& file, std::uint64_t from, std::uint64_t fileLength) {
    if (fileLength <= from) return true;
    std::uint64_t rest = fileLength - from;
    if (rest < 8 || rest > UINT32_MAX) return file.Truncate(from);
    std::uint8_t header[8];
    PutU32(header, std::uint32_t(rest));
    PutU32(header + 4, FourCC("free"));
    return file.Write(from, header, sizeof header);
}

// The last step, once the new moov is durable: its type turns it into the moov, the mdat is
// closed at the last accepted record and the model name is marked as repaired. Whichever of
// these writes reach the disk, the file either plays or is repaired again with the same
// records.
bool Reveal(MP4FILE& mp4, MediaFile& file, std::uint64_t moovStart, std::uint64_t endOfMedia) {
    if (!WriteU32(file, moovStart + 4, FourCC("moov"))) return false;
    if (!WriteU32(file, mp4.mdat.pos - 8, std::uint32_t(endOfMedia - mp4.mdat.pos + 8)))
        return false;
    const bool named = mp4.kvnm.box.size > 12;
    std::uint8_t version = kKvnmVersionRepaired;
    if (named && !file.Write(mp4.kvnm.box.pos, &version, 1)) return false;
    if (!file.Sync()) return false;
    if (named) mp4.kvnm.version = kKvnmVersionRepaired;
    return true;
}

// The old moov (with its junk reservation, in front of the mdat) is rewritten: hidden first,
// filled, then revealed. The new moov keeps the old size and ends in a junk child, so the
// walk from the file's start reaches the mdat at every step.
bool RewriteInPlace(MP4FILE& mp4, MediaFile& file, std::string& moov, std::uint64_t endOfMedia,
                    std::uint64_t fileLength) {
    const std::uint64_t start = mp4.moov.moov.pos - 8;
    const std::uint32_t region = mp4.moov.moov.size;
    const std::uint32_t content = std::uint32_t(moov.size());
    if (content < region) {
        ByteWriter junk;
        junk.U32(region - content);
        junk.U32(FourCC("junk"));
        moov += junk.str();
        mp4.moov.junk = {region - content, std::uint32_t(start + content + 8)};
    }
    PutU32(reinterpret_cast<std::uint8_t*>(moov.data()), region);
    if (!WriteU32(file, start + 4, FourCC("skip")) || !file.Sync()) return false;
    if (!CoverTail(file, endOfMedia, fileLength)) return false;
    if (!file.Write(start + 8, moov.data() + 8, moov.size() - 8) || !file.Sync()) return false;
    return Reveal(mp4, file, start, endOfMedia);
}

// The moov goes right after the last accepted record, written hidden and revealed once whole.
// An old moov in front of the mdat is hidden with it, so the walk never meets two.
bool RewriteAppended(MP4FILE& mp4, MediaFile& file, std::string& moov, std::uint64_t endOfMedia,
                     std::uint64_t fileLength) {
    PutU32(reinterpret_cast<std::uint8_t*>(moov.data()) + 4, FourCC("skip"));
    if (!file.Write(endOfMedia, moov.data(), moov.size())) return false;
    if (!CoverTail(file, endOfMedia + moov.size(), fileLength)) return false;
    if (mp4.moov.moov.pos && mp4.moov.moov.pos < mp4.mdat.pos &&
        !WriteU32(file, mp4.moov.moov.pos - 4, FourCC("skip")))
        return false;
    if (!file.Sync()) return false;
    mp4.moov.junk = {};
    return Reveal(mp4, file, endOfMedia, endOfMedia);
}

}  // namespace

bool RepairMP4(MP4FILE& mp4, MediaFile& file, std::uint64_t fileLength, MovieClock clock) {
    if (!RepairPreconditions(mp4)) return false;
    MP4MBOX_NODE video, audio;
    const bool withSound = mp4.kvrh.kvso.trackId != 0;
    if (!CreateFixedSizeTrak(video, kVideoNodeCapacity, true)) return false;
    if (withSound && !CreateFixedSizeTrak(audio, kAudioNodeCapacity, false)) return false;
    WalkResult walk = WalkRecords(mp4, file, fileLength, video, withSound ? &audio : nullptr);
    if (!walk.ok) return false;

    std::string moov = BuildMoov(video, withSound ? &audio : nullptr, mp4, std::nullopt, clock());
    if (moov.empty()) return false;
    // In place only where the recorder reserved room in front of the mdat and the new moov
    // fits it (exactly, or with room for the junk header after it).
    const std::uint64_t moovStart = mp4.moov.moov.pos ? mp4.moov.moov.pos - 8 : 0;
    const std::uint64_t region = mp4.moov.moov.size;
    const bool inPlace = mp4.moov.junk.pos && mp4.moov.moov.pos &&
                         moovStart + region <= mp4.mdat.pos - 8 &&
                         (moov.size() == region || moov.size() + 8 <= region);
    if (!inPlace && walk.endOfMedia + moov.size() > UINT32_MAX) return false;
    return inPlace ? RewriteInPlace(mp4, file, moov, walk.endOfMedia, fileLength)
                   : RewriteAppended(mp4, file, moov, walk.endOfMedia, fileLength);
}

}  // namespace kx
