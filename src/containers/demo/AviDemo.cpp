#include "containers/demo/AviDemo.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "containers/AviFormat.h"
#include "containers/demo/H264DemoEncoder.h"
#include "platform/AtomicFile.h"

namespace kx {
namespace {

struct DemoStream {
    AviStreamHeader header;
    std::vector<std::uint8_t> format;  // empty for the text streams
    std::uint32_t chunks = 0;
    std::uint64_t bytes = 0;
};

// The counts a header shows: the camera refreshes them while it records.
struct HeaderCounts {
    std::uint32_t riffSize = 0;
    std::uint32_t moviSize = 4;
    std::uint32_t frames = 0;
    std::vector<std::uint32_t> lengths;
};

std::vector<std::uint8_t> CameraHeader(const std::vector<DemoStream>& streams,
                                       const AviDemoOptions& options, const HeaderCounts& counts,
                                       bool hasIndex) {
    std::vector<std::uint8_t> strls;
    for (std::size_t i = 0; i < streams.size(); ++i) {
        const DemoStream& stream = streams[i];
        const std::size_t strfSize = stream.format.empty() ? 0 : 8 + stream.format.size();
        AppendFourCC(strls, "LIST");
        AppendLe32(strls, static_cast<std::uint32_t>(4 + 8 + kAviStreamHeaderSize + strfSize));
        AppendFourCC(strls, "strl");
        AppendFourCC(strls, "strh");
        AppendLe32(strls, kAviStreamHeaderSize);
        AviStreamHeader header = stream.header;
        header.length = i < counts.lengths.size() ? counts.lengths[i] : 0;
        std::uint8_t bytes[kAviStreamHeaderSize];
        EncodeStreamHeader(header, bytes);
        strls.insert(strls.end(), bytes, bytes + sizeof bytes);
        if (!stream.format.empty()) {
            AppendFourCC(strls, "strf");
            AppendLe32(strls, static_cast<std::uint32_t>(stream.format.size()));
            strls.insert(strls.end(), stream.format.begin(), stream.format.end());
        }
    }
    AviMainHeader main;
    main.microSecPerFrame = static_cast<std::uint32_t>(1000000 / options.framesPerSecond);
    main.flags = hasIndex ? kAviHasIndex : 0;
    main.totalFrames = counts.frames;
    main.streams = static_cast<std::uint32_t>(streams.size());
    main.suggestedBufferSize = 1 << 20;
    main.width = static_cast<std::uint32_t>(options.width);
    main.height = static_cast<std::uint32_t>(options.height);

    std::vector<std::uint8_t> out;
    AppendFourCC(out, "RIFF");
    AppendLe32(out, counts.riffSize);
    AppendFourCC(out, "AVI ");
    AppendFourCC(out, "LIST");
    AppendLe32(out, static_cast<std::uint32_t>(4 + 8 + 56 + strls.size()));
    AppendFourCC(out, "hdrl");
    AppendFourCC(out, "avih");
    AppendLe32(out, 56);
    std::uint8_t mainBytes[56] = {};
    EncodeMainHeader(main, mainBytes);
    out.insert(out.end(), mainBytes, mainBytes + 56);
    out.insert(out.end(), strls.begin(), strls.end());
    AppendFourCC(out, "LIST");
    AppendLe32(out, counts.moviSize);
    AppendFourCC(out, "movi");
    return out;
}

AviStreamHeader StreamHeader(const char* type, const char* handler, std::uint32_t scale,
                             std::uint32_t rate, std::uint32_t sampleSize, int width, int height) {
    AviStreamHeader h;
    std::memcpy(h.fccType, type, 4);
    std::memcpy(h.fccHandler, handler, 4);
    h.scale = scale;
    h.rate = rate;
    h.sampleSize = sampleSize;
    h.quality = 0xFFFFFFFF;
    h.frameRight = static_cast<std::int16_t>(width);
    h.frameBottom = static_cast<std::int16_t>(height);
    return h;
}

std::vector<std::uint8_t> BitmapHeader(int width, int height) {
    std::vector<std::uint8_t> b(kAviVideoFormatSize, 0);
    PutLe32(b.data(), 40);
    PutLe32(b.data() + 4, static_cast<std::uint32_t>(width));
    PutLe32(b.data() + 8, static_cast<std::uint32_t>(height));
    PutLe16(b.data() + 12, 1);
    PutLe16(b.data() + 14, 24);
    std::memcpy(b.data() + 16, "H264", 4);
    PutLe32(b.data() + 20, static_cast<std::uint32_t>(width * height * 3));
    return b;
}

std::vector<std::uint8_t> WaveFormat(int rate) {
    std::vector<std::uint8_t> b(kAviWaveFormatSize, 0);
    PutLe16(b.data(), 1);  // PCM
    PutLe16(b.data() + 2, 1);
    PutLe32(b.data() + 4, static_cast<std::uint32_t>(rate));
    PutLe32(b.data() + 8, static_cast<std::uint32_t>(rate * 2));
    PutLe16(b.data() + 12, 2);
    PutLe16(b.data() + 14, 16);
    return b;
}

// One RMC sentence with its checksum, for second s of the recording.
std::string RmcSentence(const AviDemoOptions& options, int s) {
    int hh = options.startHhmmss / 10000, mm = options.startHhmmss / 100 % 100,
        ss = options.startHhmmss % 100;
    int daySeconds = (hh * 3600 + mm * 60 + ss + s) % 86400;
    int day = options.dateYyyymmdd % 100, month = options.dateYyyymmdd / 100 % 100,
        year = options.dateYyyymmdd / 10000 % 100;
    char body[128];
    std::snprintf(body, sizeof body,
                  "GPRMC,%02d%02d%02d.00,A,3540.%04d,N,13945.%04d,E,%.1f,90.0,%02d%02d%02d,,,A",
                  daySeconds / 3600, daySeconds / 60 % 60, daySeconds % 60, 1000 + 7 * s,
                  2000 + 11 * s, 20.0 + (s % 10), day, month, year);
    unsigned checksum = 0;
    for (const char* p = body; *p; ++p) checksum ^= static_cast<unsigned char>(*p);
    char sentence[160];
    std::snprintf(sentence, sizeof sentence, "$%s*%02X\r\n", body, checksum);
    return sentence;
}

class CameraAviFile {
  public:
    bool Open(const std::filesystem::path& path) {
        file_ = OpenFile(path, "wb");
        return file_ != nullptr;
    }
    bool WriteHeader(const std::vector<std::uint8_t>& header) {
        if (!WriteAt(file_.get(), 0, header.data(), header.size())) return false;
        moviStart_ = static_cast<std::int64_t>(header.size()) - 4;
        position_ = static_cast<std::int64_t>(header.size());
        return true;
    }
    // One chunk without a pad byte; limit cuts its data short (the recording stopped there).
    bool WriteChunk(int stream, const char* kind, const void* data, std::uint32_t size, bool key,
                    std::size_t limit = SIZE_MAX) {
        const char id[4] = {static_cast<char>('0' + stream / 10 % 10),
                            static_cast<char>('0' + stream % 10), kind[0], kind[1]};
        std::uint8_t header[8];
        std::memcpy(header, id, 4);
        PutLe32(header + 4, size);
        std::size_t dataBytes = std::min<std::size_t>(size, limit);
        if (!WriteAt(file_.get(), position_, header, 8) ||
            std::fwrite(data, 1, dataBytes, file_.get()) != dataBytes)
            return false;
        AviIndexEntry entry;
        std::memcpy(entry.chunkId, id, 4);
        entry.flags = key ? kAviKeyFrame : 0;
        entry.offset = static_cast<std::uint32_t>(position_ - moviStart_);
        entry.size = size;
        index_.push_back(entry);
        position_ += 8 + size;
        return true;
    }
    bool WriteIndex() {
        std::vector<std::uint8_t> out;
        AppendFourCC(out, "idx1");
        AppendLe32(out, static_cast<std::uint32_t>(index_.size() * kAviIndexEntrySize));
        std::uint8_t bytes[kAviIndexEntrySize];
        for (const AviIndexEntry& e : index_) {
            EncodeIndexEntry(e, bytes);
            out.insert(out.end(), bytes, bytes + sizeof bytes);
        }
        if (!WriteAt(file_.get(), position_, out.data(), out.size())) return false;
        position_ += static_cast<std::int64_t>(out.size());
        return true;
    }
    bool Close() { return std::fclose(file_.release()) == 0; }
    std::int64_t position() const { return position_; }
    std::int64_t moviStart() const { return moviStart_; }

  private:
    UniqueFile file_;
    std::vector<AviIndexEntry> index_;
    std::int64_t moviStart_ = 0;
    std::int64_t position_ = 0;
};

}  // namespace

bool WriteAviDemoRecording(const std::filesystem::path& path, const AviDemoOptions& options,
                           std::string& error) {
    const int fps = options.framesPerSecond;
    if (fps < 1 || fps > 60 || options.seconds < 1 || options.width < 16 || options.height < 16 ||
        options.width % 2 || options.height % 2 || (!options.frontCamera && !options.rearCamera)) {
        error = "bad demo options";
        return false;
    }
    std::vector<DemoStream> streams;
    const std::vector<std::uint8_t> bitmap = BitmapHeader(options.width, options.height);
    const int cameras = (options.frontCamera ? 1 : 0) + (options.rearCamera ? 1 : 0);
    for (int c = 0; c < cameras; ++c)
        streams.push_back({StreamHeader("vids", "H264", 1, static_cast<std::uint32_t>(fps), 0,
                                        options.width, options.height),
                           bitmap});
    const int audioStream = options.withSound ? static_cast<int>(streams.size()) : -1;
    if (options.withSound)
        streams.push_back({StreamHeader("auds", "\0\0\0\0", 2,
                                        static_cast<std::uint32_t>(options.soundRate * 2), 2, 0, 0),
                           WaveFormat(options.soundRate)});
    const int gpsStream = static_cast<int>(streams.size());
    streams.push_back({StreamHeader("txts", "GPSR", 1, 1, 0, 0, 0), {}});
    const int sensStream = static_cast<int>(streams.size());
    streams.push_back(
        {StreamHeader("txts", "SENS", 1, static_cast<std::uint32_t>(2 * fps), 0, 0, 0), {}});

    std::vector<H264DemoEncoder> encoders(static_cast<std::size_t>(cameras));
    for (auto& encoder : encoders)
        if (!encoder.Open(options.width, options.height, fps, error)) return false;

    CameraAviFile file;
    HeaderCounts counts;
    counts.lengths.assign(streams.size(), 0);
    if (!file.Open(path) || !file.WriteHeader(CameraHeader(streams, options, counts, false))) {
        error = "cannot write " + path.string();
        return false;
    }
    const int totalFrames = options.seconds * fps;
    // A recording cut short stops two thirds of the way, in the middle of a video chunk, with
    // the header as it was last refreshed (at the previous whole second).
    const int cutFrame = options.cutShort ? std::max(1, totalFrames * 2 / 3 + fps / 3) : -1;
    HeaderCounts refreshed = counts;
    std::vector<std::uint8_t> packet;
    std::vector<std::int16_t> sound;
    bool ok = true;
    for (int f = 0; f < totalFrames && ok; ++f) {
        if (f % fps == 0) {
            refreshed = counts;
            refreshed.moviSize = static_cast<std::uint32_t>(file.position() - file.moviStart());
            refreshed.riffSize = static_cast<std::uint32_t>(file.position() - 8);
            const std::string rmc = RmcSentence(options, f / fps);
            ok = file.WriteChunk(gpsStream, "tx", rmc.data(),
                                 static_cast<std::uint32_t>(rmc.size()), false);
            ++counts.lengths[static_cast<std::size_t>(gpsStream)];
        }
        for (int c = 0; c < cameras && ok; ++c) {
            bool key = false;
            ok = encoders[static_cast<std::size_t>(c)].Encode(f, c, packet, key);
            if (!ok) {
                error = "H.264 encoding failed";
                break;
            }
            const bool cut = f == cutFrame && c == 0;
            ok = file.WriteChunk(c, "dc", packet.data(), static_cast<std::uint32_t>(packet.size()),
                                 key, cut ? packet.size() / 2 : SIZE_MAX);
            if (cut) break;
            ++counts.lengths[static_cast<std::size_t>(c)];
            if (c == 0) ++counts.frames;
        }
        if (f == cutFrame) break;
        if (audioStream >= 0 && ok) {
            const long first = static_cast<long>(f) * options.soundRate / fps;
            const long last = static_cast<long>(f + 1) * options.soundRate / fps;
            sound.resize(static_cast<std::size_t>(last - first));
            for (long i = first; i < last; ++i)
                sound[static_cast<std::size_t>(i - first)] = static_cast<std::int16_t>(
                    6000 * std::sin(2 * M_PI * 440.0 * i / options.soundRate));
            ok = file.WriteChunk(audioStream, "wb", sound.data(),
                                 static_cast<std::uint32_t>(sound.size() * 2), false);
            counts.lengths[static_cast<std::size_t>(audioStream)] +=
                static_cast<std::uint32_t>(sound.size());
        }
        for (int half = 0; half < 2 && ok; ++half) {
            const double t = (2 * f + half) / (2.0 * fps);
            const float axes[3] = {static_cast<float>(0.3 * std::sin(t)),
                                   static_cast<float>(0.2 * std::cos(1.7 * t)), 1.0f};
            std::uint8_t bytes[12];
            for (int a = 0; a < 3; ++a) {
                std::uint32_t bits;
                std::memcpy(&bits, &axes[a], 4);
                PutLe32(bytes + 4 * a, bits);
            }
            ok = file.WriteChunk(sensStream, "tx", bytes, sizeof bytes, false);
            ++counts.lengths[static_cast<std::size_t>(sensStream)];
        }
    }
    if (ok && !options.cutShort) {
        counts.moviSize = static_cast<std::uint32_t>(file.position() - file.moviStart());
        ok = file.WriteIndex();
        counts.riffSize = static_cast<std::uint32_t>(file.position() - 8);
        ok = ok && file.WriteHeader(CameraHeader(streams, options, counts, true));
    } else if (ok) {
        ok = file.WriteHeader(CameraHeader(streams, options, refreshed, false));
    }
    ok = file.Close() && ok;
    if (!ok && error.empty()) error = "cannot write " + path.string();
    return ok;
}

std::string AviDemoName(int yyyymmdd, int hhmmss, bool bothCameras, char camera, char kind,
                        int number) {
    const char* prefix = kind == 'E' ? "evt" : kind == 'P' ? "prk" : "rec";
    char name[64];
    std::snprintf(name, sizeof name, "%s%c_%04d_%08d_%06d_%c_%c", prefix, bothCameras ? '1' : '0',
                  number % 10000, yyyymmdd, hhmmss, camera, kind);
    return name;
}

std::vector<std::filesystem::path> WriteAviDemoSet(const std::filesystem::path& folder, int seconds,
                                                   std::string& error) {
    struct Recording {
        int hhmmss;
        bool front, rear, cutShort;
        char camera, kind;
    };
    const Recording recordings[] = {
        {90000, true, true, false, 'F', 'N'},
        {90500, true, true, false, 'F', 'E'},
        {91000, false, true, false, 'R', 'N'},
        {91500, true, true, true, 'F', 'N'},
    };
    std::vector<std::filesystem::path> written;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    int number = 1;
    for (const Recording& r : recordings) {
        AviDemoOptions options;
        options.seconds = seconds;
        options.frontCamera = r.front;
        options.rearCamera = r.rear;
        options.cutShort = r.cutShort;
        options.startHhmmss = r.hhmmss;
        const std::filesystem::path path =
            folder / (AviDemoName(options.dateYyyymmdd, r.hhmmss, r.front && r.rear, r.camera,
                                  r.kind, number++) +
                      ".avi");
        if (!WriteAviDemoRecording(path, options, error)) return {};
        written.push_back(path);
    }
    return written;
}

}  // namespace kx
