// The moov of a written or repaired movie: movie header, video and audio tracks with the
// tables of their MP4MBOX_NODE builders.
#include <ctime>

#include "app/Trace.h"
#include "containers/ByteOrder.h"
#include "containers/MediaFile.h"
#include "containers/Mp4Writer.h"

namespace kx {
namespace {

constexpr std::uint64_t kSeconds1904To1970 = 2082844800;
constexpr std::uint32_t kMovieTimescale = 1000;
constexpr std::uint16_t kLanguageEnglish = 0x15C7;
constexpr std::uint32_t kUnityMatrix[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};
constexpr std::uint8_t kHvcCHead[22] = {0x01, 0x01, 0x60, 0x00, 0x00, 0x00, 0xB0, 0x00,
                                        0x00, 0x00, 0x00, 0x00, 0x99, 0xF0, 0x00, 0xFC,
                                        0xFD, 0xF8, 0xF8, 0x00, 0x00, 0x0F};
constexpr std::uint8_t kHevcEmptyNalType = 32;

// AAC sampling-frequency index of ISO/IEC 14496-3; 15 when the rate is not in the table.
std::uint32_t SamplingFrequencyIndex(std::uint32_t rate) {
    constexpr std::uint32_t kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                        22050, 16000, 12000, 11025, 8000,  7350};
    for (std::uint32_t i = 0; i < std::size(kRates); ++i)
        if (kRates[i] == rate) return i;
    return 15;
}

struct TrackTiming {
    std::uint32_t start;     // first sample's time: an empty edit in front of the media
    std::uint32_t duration;  // sum of the sample deltas
};

// The closed stts runs plus the open run and the last sample (which repeats the delta before
// it, or takes the default of a single-sample track).
std::string CloseStts(const MP4MBOX_NODE& node, std::uint32_t singleDelta, std::uint32_t& entries,
                      TrackTiming& timing) {
    std::string table = node.stts;
    entries = node.sttsEntries;
    ByteWriter tail;
    if (node.samplesAdded == 1) {
        tail.U32(1);
        tail.U32(singleDelta);
        ++entries;
    } else if (node.samplesAdded > 1) {
        tail.U32(node.runCount + 1);
        tail.U32(node.runDelta);
        ++entries;
    }
    table += tail.str();
    std::uint64_t sum = 0;
    for (std::size_t at = 0; at + 8 <= table.size(); at += 8) {
        auto* p = reinterpret_cast<const std::uint8_t*>(table.data() + at);
        sum += std::uint64_t(GetU32(p)) * GetU32(p + 4);
    }
    timing.start = node.samplesAdded ? node.firstSampleTime : 0;
    timing.duration = std::uint32_t(std::min<std::uint64_t>(sum, UINT32_MAX));
    return table;
}

// The chunk runs: one entry where the samples per chunk change, the open chunk included.
std::string CloseStsc(const MP4MBOX_NODE& node, std::uint32_t& entries) {
    ByteWriter out;
    entries = 0;
    std::uint32_t previous = 0;
    auto add = [&](std::uint32_t chunk, std::uint32_t samples) {
        if (entries != 0 && samples == previous) return;
        out.U32(chunk);
        out.U32(samples);
        out.U32(1);
        previous = samples;
        ++entries;
    };
    for (std::size_t at = 0; at + 12 <= node.stsc.size(); at += 12) {
        auto* p = reinterpret_cast<const std::uint8_t*>(node.stsc.data() + at);
        add(GetU32(p), GetU32(p + 4));
    }
    if (node.chunkNumber != 0) add(node.chunkNumber, node.samplesInChunk);
    return out.str();
}

void FullHead(ByteWriter& out, std::uint32_t flags) {
    out.U32(flags & 0xFFFFFF);
}

void WriteTable(ByteWriter& out, const char (&type)[5], std::uint32_t entries,
                const std::string& table) {
    std::size_t box = out.Open(FourCC(type));
    FullHead(out, 0);
    out.U32(entries);
    out.Bytes(table);
    out.Close(box);
}

// avcC payload built from the parameter sets (SPS first, then PPS).
bool BuildAvcC(ByteWriter& out, const KvviRecord& kvvi) {
    if (kvvi.configs.size() < 2) return false;
    const std::string& sps = kvvi.configs[0].szConfigStr;
    // Profile, compatibility and level as the SPS states them.
    out.U8(1);
    out.U8(sps.size() > 3 ? std::uint8_t(sps[1]) : 0x42);
    out.U8(sps.size() > 3 ? std::uint8_t(sps[2]) : 0x80);
    out.U8(sps.size() > 3 ? std::uint8_t(sps[3]) : 0x01);
    out.U8(0xFF);
    out.U8(0xE1);
    out.U16(std::uint32_t(sps.size()));
    out.Bytes(sps);
    out.U8(std::uint32_t(kvvi.configs.size() - 1));
    for (std::size_t i = 1; i < kvvi.configs.size(); ++i) {
        out.U16(std::uint32_t(kvvi.configs[i].szConfigStr.size()));
        out.Bytes(kvvi.configs[i].szConfigStr);
    }
    return true;
}

bool BuildHvcC(ByteWriter& out, const KvviRecord& kvvi) {
    if (kvvi.configs.size() < 2) return false;
    out.Bytes(kHvcCHead, sizeof kHvcCHead);
    out.U8(std::uint32_t(kvvi.configs.size()));
    for (const ConfigParam& config : kvvi.configs) {
        const std::string& nal = config.szConfigStr;
        out.U8(nal.empty() ? kHevcEmptyNalType : (std::uint8_t(nal[0]) >> 1) & 0x3F);
        out.U16(1);
        out.U16(std::uint32_t(nal.size()));
        out.Bytes(nal);
    }
    return true;
}

bool VideoSampleEntry(ByteWriter& out, const KvviRecord& kvvi,
                      std::optional<std::string_view> avcConfig) {
    std::uint32_t format = FourCCFromCodecId(kvvi.codecId);
    if (kvvi.codecId != kCodecMp4v && kvvi.codecId != kCodecS263 && kvvi.codecId != kCodecHvc1)
        format = FourCC("avc1");
    std::size_t entry = out.Open(format);
    out.Zeros(6);
    out.U16(1);
    out.Zeros(16);
    out.U16(kvvi.width);
    out.U16(kvvi.height);
    out.U32(0x00480000);
    out.U32(0x00480000);
    out.U32(0);
    out.U16(1);
    out.Zeros(32);
    out.U16(0x0018);
    out.U16(0xFFFF);
    bool ok = true;
    if (format == FourCC("avc1") || format == FourCC("hvc1")) {
        bool hevc = format == FourCC("hvc1");
        std::size_t child = out.Open(hevc ? FourCC("hvcC") : FourCC("avcC"));
        if (avcConfig)
            out.Bytes(*avcConfig);
        else
            ok = hevc ? BuildHvcC(out, kvvi) : BuildAvcC(out, kvvi);
        out.Close(child);
    } else {
        out.Zeros(14);
    }
    out.Close(entry);
    return ok;
}

void AudioSampleEntry(ByteWriter& out, const KvsoRecord& kvso) {
    if (kvso.codecId != kCodecMp4a) {
        std::size_t entry = out.Open(0);
        out.Zeros(44);
        out.Close(entry);
        return;
    }
    std::size_t entry = out.Open(FourCC("mp4a"));
    out.Zeros(6);
    out.U16(1);
    out.Zeros(8);
    out.U16(kvso.channelCount);
    out.U16(kvso.bitsPerSample);
    out.Zeros(4);
    out.U32(std::uint32_t(kvso.sampleRate) << 16);
    std::size_t esds = out.Open(FourCC("esds"));
    FullHead(out, 0);
    out.U8(3);  // ES_Descriptor
    out.U8(25);
    out.U16(0);
    out.U8(0);
    out.U8(4);  // DecoderConfigDescriptor
    out.U8(17);
    out.U8(0x40);
    out.U8(0x15);
    out.U24(0);
    out.U32(0);
    out.U32(0);
    out.U8(5);  // DecoderSpecificInfo: AAC-LC AudioSpecificConfig
    out.U8(2);
    out.U16((2u << 11) | (SamplingFrequencyIndex(kvso.sampleRate) << 7) |
            ((kvso.channelCount & 0xF) << 3));
    out.U8(6);  // SLConfigDescriptor
    out.U8(1);
    out.U8(2);
    out.Close(esds);
    out.Close(entry);
}

struct TrackDescription {
    std::uint32_t trackId;
    bool video;
    std::uint16_t width, height;
};

bool WriteTrak(ByteWriter& out, const MP4MBOX_NODE& node, const TrackDescription& track,
               MP4FILE& description, std::optional<std::string_view> avcConfig, std::uint64_t now) {
    TrackTiming timing{};
    std::uint32_t sttsEntries = 0, stscEntries = 0;
    std::string stts =
        CloseStts(node, track.video ? kSingleVideoDelta : kSingleAudioDelta, sttsEntries, timing);
    std::string stsc = CloseStsc(node, stscEntries);
    std::uint32_t presented = timing.start + timing.duration;

    std::size_t trak = out.Open(FourCC("trak"));
    std::size_t tkhd = out.Open(FourCC("tkhd"));
    FullHead(out, 1);
    out.U32(std::uint32_t(now));
    out.U32(std::uint32_t(now));
    out.U32(track.trackId);
    out.U32(0);
    out.U32(presented);
    out.Zeros(8);
    out.U16(0);
    out.U16(0);
    out.U16(track.video ? 0 : 0x0100);
    out.U16(0);
    for (std::uint32_t v : kUnityMatrix) out.U32(v);
    out.U32(std::uint32_t(track.width) << 16);
    out.U32(std::uint32_t(track.height) << 16);
    out.Close(tkhd);

    // A track that starts after the movie's origin says so with an empty edit.
    if (timing.start > 0) {
        std::size_t edts = out.Open(FourCC("edts"));
        std::size_t elst = out.Open(FourCC("elst"));
        FullHead(out, 0);
        out.U32(2);
        out.U32(timing.start);
        out.U32(0xFFFFFFFF);
        out.U32(0x00010000);
        out.U32(timing.duration);
        out.U32(0);
        out.U32(0x00010000);
        out.Close(elst);
        out.Close(edts);
    }

    std::size_t mdia = out.Open(FourCC("mdia"));
    std::size_t mdhd = out.Open(FourCC("mdhd"));
    FullHead(out, 0);
    out.U32(std::uint32_t(now));
    out.U32(std::uint32_t(now));
    out.U32(kMovieTimescale);
    out.U32(timing.duration);
    out.U16(kLanguageEnglish);
    out.U16(0);
    out.Close(mdhd);
    std::size_t hdlr = out.Open(FourCC("hdlr"));
    FullHead(out, 0);
    out.U32(0);
    out.U32(track.video ? FourCC("vide") : FourCC("soun"));
    out.Zeros(12);
    const char* name = track.video ? "Korvane Video Media Handler" : "Korvane Sound Media Handler";
    out.Bytes(name, std::char_traits<char>::length(name) + 1);
    out.Zeros(2);
    out.Close(hdlr);

    std::size_t minf = out.Open(FourCC("minf"));
    if (track.video) {
        std::size_t vmhd = out.Open(FourCC("vmhd"));
        FullHead(out, 1);
        out.Zeros(8);
        out.Close(vmhd);
    } else {
        std::size_t smhd = out.Open(FourCC("smhd"));
        FullHead(out, 1);
        out.Zeros(4);
        out.Close(smhd);
    }
    std::size_t dinf = out.Open(FourCC("dinf"));
    std::size_t dref = out.Open(FourCC("dref"));
    FullHead(out, 0);
    out.U32(1);
    std::size_t url = out.Open(FourCC("url "));
    FullHead(out, 1);
    out.Close(url);
    out.Close(dref);
    out.Close(dinf);

    std::size_t stbl = out.Open(FourCC("stbl"));
    std::size_t stsd = out.Open(FourCC("stsd"));
    FullHead(out, 0);
    out.U32(1);
    bool ok = true;
    if (track.video)
        ok = VideoSampleEntry(out, description.kvrh.kvvi, avcConfig);
    else
        AudioSampleEntry(out, description.kvrh.kvso);
    out.Close(stsd);
    WriteTable(out, "stts", sttsEntries, stts);
    std::size_t stsz = out.Open(FourCC("stsz"));
    FullHead(out, 0);
    out.U32(node.constantSampleSize);
    out.U32(node.samplesAdded);
    out.Bytes(node.stsz);
    out.Close(stsz);
    WriteTable(out, "stco", node.stcoEntries, node.stco);
    WriteTable(out, "stsc", stscEntries, stsc);
    if (track.video && node.withSyncTable) WriteTable(out, "stss", node.stssEntries, node.stss);
    out.Close(stbl);
    out.Close(minf);
    out.Close(mdia);
    out.Close(trak);
    return ok;
}

std::uint32_t PresentedDuration(const MP4MBOX_NODE& node, std::uint32_t singleDelta) {
    TrackTiming timing{};
    std::uint32_t entries = 0;
    CloseStts(node, singleDelta, entries, timing);
    return timing.start + timing.duration;
}

}  // namespace

std::uint64_t SystemMovieClock() {
    return std::uint64_t(std::time(nullptr)) + kSeconds1904To1970;
}

std::string BuildMoov(const MP4MBOX_NODE& video, const MP4MBOX_NODE* audio, MP4FILE& description,
                      std::optional<std::string_view> avcConfig, std::uint64_t now) {
    std::uint32_t duration = PresentedDuration(video, kSingleVideoDelta);
    if (audio) duration = std::max(duration, PresentedDuration(*audio, kSingleAudioDelta));
    MvhdRecord& mvhd = description.moov.mvhd;
    mvhd.version = 0;
    mvhd.timescale = kMovieTimescale;
    mvhd.duration = duration;

    ByteWriter out;
    std::size_t moov = out.Open(FourCC("moov"));
    std::size_t mvhdBox = out.Open(FourCC("mvhd"));
    FullHead(out, 0);
    out.U32(std::uint32_t(now));
    out.U32(std::uint32_t(now));
    out.U32(kMovieTimescale);
    out.U32(duration);
    out.U32(0x00010000);
    out.U16(0x0100);
    out.Zeros(10);
    for (std::uint32_t v : kUnityMatrix) out.U32(v);
    out.Zeros(24);
    out.U32(3);
    out.Close(mvhdBox);
    const KvviRecord& kvvi = description.kvrh.kvvi;
    if (!WriteTrak(out, video, {1, true, kvvi.width, kvvi.height}, description, avcConfig, now)) {
        Trace("WriteMoov", __LINE__, "video configuration needs 2 strings, has %d\n",
              int(kvvi.configs.size()));
        return {};
    }
    if (audio) WriteTrak(out, *audio, {2, false, 0, 0}, description, std::nullopt, now);
    out.Close(moov);
    return std::move(out.str());
}

int WriteMoov(const MP4MBOX_NODE& video, const MP4MBOX_NODE* audio, MP4FILE& description,
              Mp4Output& out, std::optional<std::string_view> avcConfig, MovieClock clock) {
    std::string moov = BuildMoov(video, audio, description, avcConfig, clock());
    if (moov.empty() || !description.mdat.pos) return 0;
    std::uint64_t mdatSize = out.position() - description.mdat.pos + 8;
    if (mdatSize > UINT32_MAX || !out.Write(moov) || !out.Flush()) return 0;
    std::uint8_t size[4];
    PutU32(size, std::uint32_t(mdatSize));
    return out.file().Write(description.mdat.pos - 8, size, sizeof size) ? 1 : 0;
}

}  // namespace kx
