#include "containers/demo/DemoRecording.h"

#include "containers/ByteOrder.h"
#include "containers/MediaFile.h"
#include "containers/Mp4Writer.h"

namespace kx::demo {
namespace {

constexpr std::size_t kAccEndMarkerLength = 10;

std::string SensorBox(const char (&type)[5], const std::string& payload) {
    ByteWriter box;
    std::size_t at = box.Open(FourCC(type));
    box.Bytes(payload);
    box.Close(at);
    return box.str();
}

}  // namespace

bool WriteRecording(const std::filesystem::path& path, const RecordingSpec& spec,
                    std::string& error) {
    const EncodedVideo& video = *spec.video;
    MP4FILE source{};
    source.newFormat = spec.laterLayout ? 1 : 0;
    std::snprintf(source.kvnm.name, sizeof source.kvnm.name, "%s", spec.model.c_str());
    MP4FILE description{};
    KvviRecord& kvvi = description.kvrh.kvvi;
    kvvi.trackId = 1;
    kvvi.codecId = video.hevc ? kCodecHvc1 : kCodecAvc1;
    kvvi.width = std::uint16_t(video.width);
    kvvi.height = std::uint16_t(video.height);
    for (const std::string& set : video.parameterSets) kvvi.configs.push_back({set});
    kvvi.nConfigNum = std::uint16_t(kvvi.configs.size());
    if (spec.audio) {
        KvsoRecord& kvso = description.kvrh.kvso;
        kvso.trackId = 2;
        kvso.codecId = kCodecMp4a;
        kvso.channelCount = std::uint16_t(spec.audio->channels);
        kvso.bitsPerSample = 16;
        kvso.sampleRate = std::uint32_t(spec.audio->sampleRate);
        kvso.configs.push_back({spec.audio->audioSpecificConfig});
        kvso.nConfigNum = 1;
    }

    FileHeaderExtras extras;
    if (!spec.gpsText.empty()) extras.freeBoxes += SensorBox("gps ", spec.gpsText + '\0');
    if (!spec.accRecords.empty())
        extras.freeBoxes +=
            SensorBox("3gf ", spec.accRecords + std::string(kAccEndMarkerLength, '\xFF'));
    if (!spec.gps2Records.empty()) extras.freeBoxes += SensorBox("gps2", spec.gps2Records);
    extras.moovReserve = spec.moovReserve;

    auto file = DiskFile::Open(path, DiskFile::Mode::kCreate);
    if (!file) {
        error = "cannot create " + path.string();
        return false;
    }
    MP4MBOX_NODE videoNode, audioNode;
    if (!CreateFixedSizeTrak(videoNode, kVideoNodeCapacity, true) ||
        !CreateFixedSizeTrak(audioNode, kAudioNodeCapacity, false)) {
        error = "out of memory";
        return false;
    }
    Mp4Output out(*file, 0);
    // A recording cut short has the mdat size the recorder set for the whole recording.
    std::uint64_t mediaBytes = 0;
    const std::size_t recordSize = spec.laterLayout ? 0 : kSampleRecordSize;
    for (const std::string& sample : video.samples) mediaBytes += recordSize + sample.size();
    if (spec.audio)
        for (const std::string& frame : spec.audio->frames) mediaBytes += recordSize + frame.size();
    if (spec.cutShort) extras.mdatSize = std::uint32_t(mediaBytes + 8);
    if (!WriteFileHeader(out, description, source, spec.startTimeMs, spec.audio != nullptr,
                         &extras)) {
        error = "write failed";
        return false;
    }

    // Interleaved by time, as the camera writes them; sound left after the last picture
    // follows it.
    std::size_t a = 0;
    std::uint64_t lastRecord = 0;
    std::uint32_t lastSize = 0;
    const std::uint32_t codecId = kvvi.codecId;
    auto writeAudioUpTo = [&](std::uint64_t until) {
        while (spec.audio && a < spec.audio->frames.size() && spec.audio->timesMs[a] <= until) {
            const std::string& frame = spec.audio->frames[a];
            std::uint32_t time = spec.audio->timesMs[a++];
            lastRecord = out.position();
            lastSize = std::uint32_t(frame.size());
            if (!spec.laterLayout &&
                !out.Write(SampleRecord(kSampleRecordAudio, 0, time, lastSize)))
                return false;
            std::uint64_t offset = out.movieOffset();
            if (!out.Write(frame) || !AddSample(audioNode, time, lastSize, offset, false, false))
                return false;
        }
        return true;
    };
    for (std::size_t v = 0; v < video.samples.size(); ++v) {
        if (!writeAudioUpTo(video.timesMs[v])) break;
        lastRecord = out.position();
        lastSize = std::uint32_t(video.samples[v].size());
        if (!WriteVideoSample(out, videoNode, codecId, 4, video.timesMs[v], video.keys[v],
                              video.samples[v], spec.laterLayout))
            break;
    }
    writeAudioUpTo(UINT64_MAX);
    if (!out.ok()) {
        error = "write failed";
        return false;
    }
    if (spec.cutShort) {
        // The power went while the last sample was being written.
        if (!out.Flush() || !file->Truncate(lastRecord + recordSize + lastSize / 2)) {
            error = "write failed";
            return false;
        }
        return true;
    }
    if (!WriteMoov(videoNode, spec.audio ? &audioNode : nullptr, description, out, std::nullopt,
                   SystemMovieClock) ||
        !out.Flush()) {
        error = "write failed";
        return false;
    }
    return true;
}

}  // namespace kx::demo
