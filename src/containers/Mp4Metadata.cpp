// The camera's metadata inside the top-level free box: vendor text, start time, model name,
// track summaries and the embedded GPS and acceleration data.
#include <algorithm>
#include <cstring>

#include "app/Trace.h"
#include "containers/BoxWalk.h"

namespace kx {
namespace {

constexpr std::size_t kAccEndMarkerLength = 10;

// The ConfigParam list of kvvi and kvso: nConfigNum times a u16 size and that many bytes.
bool ParseConfigParams(FieldReader& in, std::uint16_t& nConfigNum,
                       std::vector<ConfigParam>& configs) {
    // Every entry takes at least its 2-byte size.
    if (nConfigNum > in.remaining() / 2) {
        Trace("ParseKVVI", __LINE__, "ConfigParam alloc failed. nConfigNum(%d)\n", int(nConfigNum));
        nConfigNum = 0;
        return false;
    }
    configs.assign(nConfigNum, ConfigParam{});
    for (ConfigParam& config : configs) {
        std::uint16_t size = in.U16();
        if (!in.ok()) return false;
        if (size == 0) continue;
        const std::uint8_t* bytes = in.Take(size);
        if (!bytes) {
            Trace("ParseKVVI", __LINE__, "szConfigStr alloc failed. Size(%d)\n", int(size));
            return false;
        }
        config.szConfigStr.assign(reinterpret_cast<const char*>(bytes), size);
    }
    return true;
}

bool ParseKVVI(MediaFile& file, const BoxHeader& box, KvviRecord& kvvi) {
    std::vector<std::uint8_t> bytes;
    if (!ReadPayload(file, box, box.size, bytes)) return false;
    FieldReader in(bytes);
    kvvi.box = box.Pair();
    kvvi.trackId = in.U16();
    kvvi.codecId = CodecIdFromFourCC(in.U32());
    kvvi.width = in.U16();
    kvvi.height = in.U16();
    kvvi.nConfigNum = in.U16();
    return in.ok() && ParseConfigParams(in, kvvi.nConfigNum, kvvi.configs);
}

bool ParseKVSO(MediaFile& file, const BoxHeader& box, KvsoRecord& kvso) {
    std::vector<std::uint8_t> bytes;
    if (!ReadPayload(file, box, box.size, bytes)) return false;
    FieldReader in(bytes);
    kvso.box = box.Pair();
    kvso.trackId = in.U16();
    kvso.codecId = CodecIdFromFourCC(in.U32());
    kvso.channelCount = in.U16();
    kvso.bitsPerSample = in.U16();
    kvso.sampleRate = in.U32();
    kvso.nConfigNum = in.U16();
    return in.ok() && ParseConfigParams(in, kvso.nConfigNum, kvso.configs);
}

// kvrc (with kvme) and kvrh: a kvvi or kvso that fails is cleared.
template <class Summary>
void ParseSummary(MediaFile& file, const BoxHeader& container, Summary& summary, bool withKvme,
                  BoxPair* kvme) {
    summary.box = container.Pair();
    WalkBoxes(file, container.payload, container.end, [&](const BoxHeader& box) {
        if (box.type == FourCC("kvvi")) {
            if (!ParseKVVI(file, box, summary.kvvi)) summary.kvvi = KvviRecord{};
        } else if (box.type == FourCC("kvso")) {
            if (!ParseKVSO(file, box, summary.kvso)) summary.kvso = KvsoRecord{};
        } else if (withKvme && box.type == FourCC("kvme")) {
            *kvme = box.Pair();
        }
        return true;
    });
}

// Copies the box's size-field count of bytes from its payload on (so the copy ends with the 8
// bytes after the box), cut to capacity. Nothing is taken when the file holds fewer bytes.
std::size_t CopySensorBox(MediaFile& file, const BoxHeader& box, std::uint8_t* buffer,
                          std::size_t capacity) {
    std::uint64_t length = file.Size();
    if (box.payload > length || box.size > length - box.payload) return 0;
    std::size_t count = std::min<std::size_t>(box.size, capacity);
    if (count == 0 || !file.Read(box.payload, buffer, count)) return 0;
    return count;
}

}  // namespace

bool ParseFREE(MediaFile& file, const BoxHeader& free, MP4FILE& mp4) {
    bool ok = true;
    WalkBoxes(file, free.payload, free.end, [&](const BoxHeader& box) {
        switch (box.type) {
            case FourCC("cprt"): {
                mp4.cprt.box = box.Pair();
                std::uint32_t length = box.size - 8;
                if (length > 0 && length < kCprtTextCapacity) {
                    std::memset(mp4.cprt.text, 0, sizeof mp4.cprt.text);
                    if (!file.Read(box.payload, mp4.cprt.text, length)) {
                        std::memset(mp4.cprt.text, 0, sizeof mp4.cprt.text);
                        ok = false;
                        return false;
                    }
                }
                return true;
            }
            case FourCC("sttm"): {
                std::uint8_t bytes[8];
                mp4.sttm.box = box.Pair();
                if (!file.Read(box.payload, bytes, sizeof bytes))
                    mp4.sttm = SttmRecord{};
                else
                    mp4.sttm.startTime = GetU64(bytes);
                return true;
            }
            case FourCC("kvnm"): {
                std::uint8_t head[4];
                mp4.kvnm.box = box.Pair();
                if (!file.Read(box.payload, head, sizeof head)) {
                    ok = false;
                    return false;
                }
                mp4.kvnm.version = head[0];
                if (mp4.kvnm.version == 4) mp4.newFormat = 1;
                std::uint32_t length = box.size > 12 ? box.size - 12 : 0;
                if (length > 0 && length < kKvnmNameCapacity) {
                    std::memset(mp4.kvnm.name, 0, sizeof mp4.kvnm.name);
                    if (!file.Read(box.payload + 4, mp4.kvnm.name, length)) {
                        std::memset(mp4.kvnm.name, 0, sizeof mp4.kvnm.name);
                        ok = false;
                        return false;
                    }
                    mp4.kvnm.name[kKvnmNameCapacity - 1] = '\0';
                }
                return true;
            }
            case FourCC("kvrc"):
                ParseSummary(file, box, mp4.kvrc, true, &mp4.kvrc.kvme);
                return true;
            case FourCC("kvrh"):
                ParseSummary(file, box, mp4.kvrh, false, nullptr);
                return true;
            case FourCC("gps "): {
                if (!mp4.gpsBuffer) return true;
                std::size_t copied = CopySensorBox(file, box, mp4.gpsBuffer, mp4.gpsCapacity);
                if (copied == 0) return true;
                auto* nul = static_cast<std::uint8_t*>(std::memchr(mp4.gpsBuffer, 0, copied));
                std::size_t next = copied;
                if (nul) {
                    mp4.gpsLength = std::int32_t(nul - mp4.gpsBuffer);
                    next = std::size_t(nul - mp4.gpsBuffer) + 1;
                }
                // The acceleration data lands in the same buffer, after the GPS text.
                mp4.accBuffer = mp4.gpsBuffer + next;
                mp4.accCapacity = mp4.gpsCapacity - next;
                return true;
            }
            case FourCC("gps2"):
                if (mp4.gpsBuffer) {
                    std::size_t copied = CopySensorBox(file, box, mp4.gpsBuffer, mp4.gpsCapacity);
                    if (copied) mp4.gpsLength = std::int32_t(copied);
                }
                mp4.newFormat = 1;
                return true;
            case FourCC("3gf "): {
                if (!mp4.accBuffer) return true;
                std::size_t copied = CopySensorBox(file, box, mp4.accBuffer, mp4.accCapacity);
                for (std::size_t at = 0;
                     copied >= kAccEndMarkerLength && at + kAccEndMarkerLength <= copied &&
                     at + kAccEndMarkerLength + 1 <= box.size;
                     ++at) {
                    const std::uint8_t* p = mp4.accBuffer + at;
                    if (std::all_of(p, p + kAccEndMarkerLength,
                                    [](std::uint8_t b) { return b == 0xFF; })) {
                        mp4.accLength = std::int32_t(at);
                        break;
                    }
                }
                return true;
            }
            default:
                return true;
        }
    });
    return ok;
}

std::uint32_t CodecIdFromFourCC(std::uint32_t fourcc) {
    switch (fourcc) {
        case FourCC("mp4v"):
            return kCodecMp4v;
        case FourCC("s263"):
            return kCodecS263;
        case FourCC("avc1"):
            return kCodecAvc1;
        case FourCC("hvc1"):
            return kCodecHvc1;
        case FourCC("mp4a"):
            return kCodecMp4a;
        case FourCC("samr"):
            return kCodecSamr;
        case FourCC("sevc"):
            return kCodecSevc;
        case FourCC("sqcp"):
            return kCodecSqcp;
        case FourCC("ulaw"):
            return kCodecUlaw;
        default:
            return kCodecNone;
    }
}

std::uint32_t FourCCFromCodecId(std::uint32_t codecId) {
    switch (codecId) {
        case kCodecMp4v:
            return FourCC("mp4v");
        case kCodecS263:
            return FourCC("s263");
        case kCodecAvc1:
            return FourCC("avc1");
        case kCodecHvc1:
            return FourCC("hvc1");
        case kCodecMp4a:
            return FourCC("mp4a");
        case kCodecSamr:
            return FourCC("samr");
        case kCodecSevc:
            return FourCC("sevc");
        case kCodecSqcp:
            return FourCC("sqcp");
        case kCodecUlaw:
            return FourCC("ulaw");
        default:
            return 0;
    }
}

}  // namespace kx
