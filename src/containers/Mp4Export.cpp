// ExportMP4: a time range of one movie copied into a new file of the camera's layout.
#include <system_error>

#include "app/Trace.h"
#include "containers/ByteOrder.h"
#include "containers/MediaFile.h"
#include "containers/Mp4Writer.h"
#include "containers/SampleCursor.h"

namespace kx {
namespace {

struct ExportTrack {
    const TRAKBOX* track = nullptr;
    SampleCursor cursor{};
    bool running = false;
    std::uint32_t sampleCount() const { return track->stsz.sampleCount; }
};

const SampleEntryRecord* FirstEntry(const TRAKBOX* track) {
    return track && !track->stsd.PSampleEntry.empty() ? &track->stsd.PSampleEntry[0] : nullptr;
}

// Reads one sample of the source into buffer, checked against the file's length first.
bool ReadSample(MediaFile& file, std::uint64_t baseOffset, const SampleInfo& sample,
                std::string& buffer) {
    std::uint64_t at = baseOffset + sample.offset;
    std::uint64_t length = file.Size();
    if (at > length || sample.size > length - at) return false;
    if (buffer.size() < sample.size) buffer.resize(sample.size);  // grows, never shrinks
    return file.Read(at, buffer.data(), sample.size);
}

// Moves the cursors to the first sync sample at or after startMs (or the last one) and the
// first audio sample at or after it; both are marked for redelivery.
bool SeekToStart(MediaFile& file, const MP4FILE& source, ExportTrack& video, ExportTrack* audio,
                 std::uint64_t startMs) {
    const TableHead& stss = video.track->stss;
    if (!stss.box.pos || stss.entryCount == 0) return false;
    const MvhdRecord& mvhd = source.moov.mvhd;
    SampleInfo sample;
    for (std::uint32_t i = 0; i < stss.entryCount; ++i) {
        std::uint8_t entry[4];
        if (!file.Read(std::uint64_t(stss.box.pos) + 8 + 4ull * i, entry, 4)) return false;
        std::uint32_t number = GetU32(entry);
        if (number > video.sampleCount()) return false;
        while (video.cursor.sample.number < number)
            if (!NextSample(video.cursor, sample, file, *video.track, mvhd)) return false;
        if (video.cursor.sample.time >= startMs) break;
    }
    video.cursor.redeliver = true;
    if (!audio) return true;
    std::uint64_t syncTime = video.cursor.sample.time;
    audio->running = false;
    while (audio->cursor.sample.number < audio->sampleCount()) {
        if (!NextSample(audio->cursor, sample, file, *audio->track, mvhd)) return false;
        if (sample.time >= syncTime) {
            audio->cursor.redeliver = true;
            audio->running = true;
            break;
        }
    }
    return true;
}

// The next sample while the previous one is inside the table and not past the range.
bool TakeNext(MediaFile& file, const MP4FILE& source, ExportTrack& stream, std::uint64_t endMs,
              SampleInfo& sample) {
    const SampleInfo& previous = stream.cursor.sample;
    if (!stream.cursor.redeliver &&
        (previous.number >= stream.sampleCount() || (previous.number && previous.time > endMs)))
        return false;
    return NextSample(stream.cursor, sample, file, *stream.track, source.moov.mvhd) != 0;
}

}  // namespace

int ExportMP4(MediaFile& sourceFile, int startSecond, const std::filesystem::path& outPath,
              MP4FILE& source, int endSecond, bool withSound, std::uint64_t baseOffset,
              MovieClock clock) {
    const std::uint64_t startMs = std::uint64_t(std::max(startSecond, 0)) * 1000;
    const std::uint64_t endMs = std::uint64_t(std::max(endSecond, 0)) * 1000 + 999;

    ExportTrack video, audioTrack;
    for (const auto& track : source.moov.trak) {
        if (!track || !TrackQualifies(*track)) continue;
        if (track->hdlr.handlerType == FourCC("vide")) video.track = track.get();
        if (withSound && track->hdlr.handlerType == FourCC("soun")) audioTrack.track = track.get();
    }
    if (!video.track) return 0;
    ExportTrack* audio = audioTrack.track ? &audioTrack : nullptr;
    const SampleEntryRecord* videoEntry = FirstEntry(video.track);
    int nalLengthSize = 0;
    if (videoEntry &&
        (videoEntry->format == FourCC("avc1") || videoEntry->format == FourCC("hvc1")))
        nalLengthSize = videoEntry->config.lengthSizeMinusOne + 1;
    if (source.newFormat) {
        KvviRecord& kvvi = source.kvrh.kvvi;
        kvvi.codecId = videoEntry ? CodecIdFromFourCC(videoEntry->format) : 0;
        kvvi.width = videoEntry ? videoEntry->width : 0;
        kvvi.height = videoEntry ? videoEntry->height : 0;
        if (const SampleEntryRecord* audioEntry = audio ? FirstEntry(audio->track) : nullptr) {
            KvsoRecord& kvso = source.kvrh.kvso;
            kvso.codecId = CodecIdFromFourCC(audioEntry->format);
            kvso.channelCount = audioEntry->channelCount;
            kvso.bitsPerSample = audioEntry->sampleSize;
            kvso.sampleRate = audioEntry->sampleRate;
        }
    }
    const std::uint32_t codecId = source.kvrh.kvvi.codecId;

    video.running = true;
    if (audio) audio->running = true;
    if (startMs > 0 && !SeekToStart(sourceFile, source, video, audio, startMs)) return 0;

    MP4MBOX_NODE videoNode, audioNode;
    if (!CreateFixedSizeTrak(videoNode, kVideoNodeCapacity, true)) return 0;
    if (audio && !CreateFixedSizeTrak(audioNode, kAudioNodeCapacity, false)) return 0;
    // The configuration box is copied from the source when its summary cannot rebuild it.
    std::optional<std::string_view> avcConfig;
    if ((baseOffset != 0 || source.newFormat) && videoEntry &&
        videoEntry->config.pParameterSetNALUnit.size() > 8) {
        const auto& copy = videoEntry->config.pParameterSetNALUnit;
        avcConfig = std::string_view(reinterpret_cast<const char*>(copy.data()), copy.size() - 8);
    }

    std::unique_ptr<DiskFile> outFile;
    std::uint64_t movieStart = 0;
    if (baseOffset == 0) {
        outFile = DiskFile::Open(outPath, DiskFile::Mode::kCreate);
    } else {
        outFile = DiskFile::Open(outPath, DiskFile::Mode::kUpdate);
        if (outFile) movieStart = outFile->Size();
    }
    if (!outFile) return 0;
    MP4FILE description{};
    description.kvrh.kvvi = source.kvrh.kvvi;
    description.kvrh.kvso = source.kvrh.kvso;
    bool headerWritten = false;
    std::uint64_t origin = 0;
    std::string buffer;
    {
        Mp4Output out(*outFile, movieStart);
        SampleInfo sample;
        while (video.running || (audio && audio->running)) {
            if (video.running) {
                video.running = false;
                if (TakeNext(sourceFile, source, video, endMs, sample) &&
                    ReadSample(sourceFile, baseOffset, sample, buffer)) {
                    std::string_view data(buffer.data(), sample.size);
                    bool key = IsKeyFrame(codecId, data);
                    if (!headerWritten && key) {
                        origin = sample.time;
                        headerWritten =
                            WriteFileHeader(out, description, source,
                                            source.sttm.startTime + sample.time, audio != nullptr);
                        if (!headerWritten) break;
                    }
                    video.running =
                        !headerWritten || WriteVideoSample(out, videoNode, codecId, nalLengthSize,
                                                           std::uint32_t(sample.time - origin), key,
                                                           data, source.newFormat);
                }
            }
            if (audio && audio->running && headerWritten) {
                audio->running = false;
                if (TakeNext(sourceFile, source, *audio, endMs, sample)) {
                    if (sample.time < origin) {
                        audio->running = true;
                    } else if (ReadSample(sourceFile, baseOffset, sample, buffer)) {
                        auto time = std::uint32_t(sample.time - origin);
                        bool ok = source.newFormat ||
                                  out.Write(SampleRecord(kSampleRecordAudio, 0, time, sample.size));
                        std::uint64_t offset = out.movieOffset();
                        audio->running =
                            ok && out.Write({buffer.data(), sample.size}) &&
                            AddSample(audioNode, time, sample.size, offset, false, false);
                    }
                }
            } else if (audio && !headerWritten && !video.running) {
                audio->running = false;
            }
        }
        buffer = std::string();
        int result = 0;
        if (headerWritten)
            result = WriteMoov(videoNode, audio ? &audioNode : nullptr, description, out, avcConfig,
                               clock);
        out.Flush();
        if (headerWritten) return result;
    }
    // No key frame in the range: nothing worth keeping was written.
    if (baseOffset == 0) {
        outFile.reset();
        std::error_code ignored;
        std::filesystem::remove(outPath, ignored);
    } else {
        outFile->Truncate(movieStart);
    }
    Trace("ExportMP4", __LINE__, "no key frame in %d-%d s\n", startSecond, endSecond);
    return 0;
}

}  // namespace kx
