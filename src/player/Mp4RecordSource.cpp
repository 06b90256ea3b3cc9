#include "player/Mp4RecordSource.h"

#include "app/Trace.h"
#include "containers/ByteOrder.h"
#include "containers/Mp4File.h"
#include "containers/Mp4Writer.h"
#include "player/FrameRate.h"
#include "player/KeyGroupAppender.h"
#include "player/SyncPlayer.h"

namespace kx {
namespace {

// One sample record of the media data.
struct SampleRecordView {
    std::uint16_t type = 0;
    std::uint16_t key = 0;
    std::uint32_t time = 0;
    std::uint32_t size = 0;
    std::uint32_t dataOffset = 0;
    std::uint32_t next = 0;
};

// Reads the record at position (holding the channel's file mutex); false at the end of data.
bool ReadRecord(VideoChannel& channel, std::uint32_t position, std::uint32_t end,
                SampleRecordView& record) {
    if (position == 0 || std::uint64_t{position} + kSampleRecordSize > end) return false;
    std::uint8_t bytes[kSampleRecordSize];
    {
        std::lock_guard lock(channel.fileMutex());
        if (!channel.ReadAt(position, bytes, sizeof bytes)) return false;
    }
    record.type = GetU16(bytes);
    record.key = GetU16(bytes + 2);
    record.time = GetU32(bytes + 4);
    record.size = GetU32(bytes + 8);
    std::uint64_t data = std::uint64_t{position} + kSampleRecordSize + GetU32(bytes + 12);
    std::uint64_t next = data + record.size;
    if (next > end || record.size == 0 || record.size > static_cast<std::uint32_t>(kMaxSampleBytes))
        return false;
    record.dataOffset = static_cast<std::uint32_t>(data);
    record.next = static_cast<std::uint32_t>(next);
    return true;
}

SAMPLE_ENTRY EntryOf(const SampleRecordView& record) {
    return {static_cast<std::int32_t>(record.size),
            static_cast<std::int32_t>(record.time & 0x7fffffff),
            static_cast<std::uint8_t>(record.key ? 1 : 0), record.dataOffset};
}

const KvviRecord* VideoHeader(const MP4FILE& movie) {
    if (movie.kvrh.kvvi.box.size) return &movie.kvrh.kvvi;
    if (movie.kvrc.kvvi.box.size) return &movie.kvrc.kvvi;
    return nullptr;
}

const KvsoRecord* AudioHeader(const MP4FILE& movie) {
    if (movie.kvrh.kvso.box.size) return &movie.kvrh.kvso;
    if (movie.kvrc.kvso.box.size) return &movie.kvrc.kvso;
    return nullptr;
}

const TRAKBOX* Track(const MP4FILE& movie, std::uint32_t trackId) {
    for (const auto& track : movie.moov.trak)
        if (track && track->tkhd.trackId == trackId) return track.get();
    return nullptr;
}

}  // namespace

int Mp4Kind(const std::filesystem::path& path, Mp4Layout& layout) {
    MP4FILE files[2]{};
    files[0].gpsLength = files[0].accLength = -1;
    files[1].gpsLength = files[1].accLength = -1;
    int valid = ValidMP4(path, files, false);
    bool records = !files[0].newFormat && Mp4LayoutOf(files[0], layout);
    int kind = valid == 1 ? (records ? 1 : 2) : (files[0].newFormat ? 2 : 0);
    ReleaseMP4(files[0]);
    ReleaseMP4(files[1]);
    return kind;
}

bool Mp4LayoutOf(const MP4FILE& movie, Mp4Layout& layout) {
    const KvviRecord* video = VideoHeader(movie);
    if (!video || movie.mdat.pos == 0) return false;
    const TRAKBOX* track = Track(movie, video->trackId);
    if (!track) return false;
    layout.mediaStart = movie.mdat.pos;
    layout.mediaEnd = movie.mdat.size >= 8 ? movie.mdat.pos + (movie.mdat.size - 8) : 0;
    layout.videoTrack = video->trackId;
    layout.codecId = static_cast<int>(video->codecId);
    layout.width = video->width;
    layout.height = video->height;
    layout.frameRate = Mp4FrameRate(track->stsz.sampleCount, movie.moov.mvhd.timescale,
                                    static_cast<unsigned>(movie.moov.mvhd.duration));
    if (!track->stsd.PSampleEntry.empty())
        layout.videoConfig = track->stsd.PSampleEntry[0].config.pParameterSetNALUnit;
    const KvsoRecord* audio = AudioHeader(movie);
    const TRAKBOX* audioTrack = audio ? Track(movie, audio->trackId) : nullptr;
    layout.hasAudio = audioTrack != nullptr;
    if (layout.hasAudio) {
        layout.audioCodecId = static_cast<int>(audio->codecId);
        layout.channels = audio->channelCount;
        layout.sampleRate = static_cast<int>(audio->sampleRate);
        if (!audio->configs.empty())
            layout.audioConfig.assign(audio->configs[0].szConfigStr.begin(),
                                      audio->configs[0].szConfigStr.end());
    }
    return layout.mediaEnd > layout.mediaStart;
}

Mp4RecordSource::Mp4RecordSource(std::filesystem::path front, std::filesystem::path rear,
                                 Mp4Layout frontLayout)
    : frontPath_(std::move(front)), rearPath_(std::move(rear)), front_(std::move(frontLayout)) {}

bool Mp4RecordSource::Prepare(SyncPlayer& player) {
    VideoChannel& front = player.front();
    VideoChannel& rear = player.rear();
    if (front_.mediaEnd <= front_.mediaStart) return false;

    bool rearWanted = !rearPath_.empty();
    bool rearOk = rearWanted && Mp4Kind(rearPath_, rear_) == 1;
    if (rearWanted && !rearOk)
        Trace("CDrawWnd::ValidMP4", __LINE__, "%s file open failed\n", rearPath_.c_str());

    auto open = [](VideoChannel& channel, const std::filesystem::path& path,
                   const Mp4Layout& layout) {
        if (!channel.SetPlay(path, true)) return false;
        if (!channel.OpenVCodec(layout.codecId, layout.width, layout.height,
                                layout.videoConfig.data(),
                                static_cast<int>(layout.videoConfig.size())))
            return false;
        channel.SetFrameRate(layout.frameRate);
        channel.SetBaseOffset(layout.mediaStart);
        return true;
    };
    if (!open(front, frontPath_, front_)) return false;
    rearOk = rearOk && open(rear, rearPath_, rear_);
    player.SetRearPresent(rearOk);
    if (rearOk) {
        RepeatLengths repeat = RepeatLengthsFor(front.frameRate(), rear.frameRate());
        front.SetRepeatLength(repeat.front);
        rear.SetRepeatLength(repeat.rear);
        player.SetKeyFramesOnlyAllowed(front.frameRate() != rear.frameRate());
    }
    if (front_.hasAudio) {
        if (front_.audioCodecId == kCodecMp4a) {
            if (!player.audio().OpenAacDecoder(front_.channels, front_.sampleRate,
                                               front_.audioConfig.data(),
                                               static_cast<int>(front_.audioConfig.size())))
                Trace("CDispWnd::StartPlay", __LINE__, "audio codec open failed %s\n",
                      frontPath_.c_str());
        } else {
            player.audio().UsePcm({front_.channels, front_.sampleRate, 16});
        }
    }
    if (rearWanted && !rearOk) player.Post(PlayCode::EndedOrRearFailed, 1);
    return true;
}

void Mp4RecordSource::Walk(SyncPlayer& player) {
    VideoChannel& front = player.front();
    VideoChannel& rear = player.rear();
    bool rearPresent = player.rearPresent();
    if (player.startOffset() == 0) player.audio().AudStart();

    KeyGroupAppender frontAppender(front.index(), player);
    KeyGroupAppender rearAppender(rear.index(), player);
    std::uint32_t frontPosition = front_.mediaStart;
    std::uint32_t rearPosition = rearPresent ? rear_.mediaStart : 0;
    // One record of the rear file into the rear index; its other tracks are skipped.
    auto walkRear = [&] {
        SampleRecordView record;
        if (!rearPosition || !ReadRecord(rear, rearPosition, rear_.mediaEnd, record)) {
            rearPosition = 0;
            return;
        }
        rearPosition = record.next;
        if (record.type == rear_.videoTrack) rearAppender.Add(EntryOf(record), rear.decoderDelay());
    };

    bool startPosted = false;
    SampleRecordView record;
    while (player.running() && ReadRecord(front, frontPosition, front_.mediaEnd, record)) {
        frontPosition = record.next;
        SAMPLE_ENTRY entry = EntryOf(record);
        if (record.type == front_.videoTrack) {
            frontAppender.Add(entry, front.decoderDelay());
            if (entry.key && frontAppender.seenKeyFrame()) {
                player.Post(PlayCode::DurationKnown, entry.time);
                if (!startPosted && entry.time / 1000 >= player.startOffset()) {
                    player.Post(PlayCode::Started, 0);
                    startPosted = true;
                }
            }
        } else {
            entry.key = 1;
            std::lock_guard lock(player.indexMutex());
            player.audioIndex().Append(entry);
        }
        walkRear();  // one rear record per front record
    }
    // The rear may hold more records than the front.
    while (player.running() && rearPosition) walkRear();
    frontAppender.Finish(front.decoderDelay());
    if (rearPresent) rearAppender.Finish(rear.decoderDelay());
    player.Post(PlayCode::DurationKnown, frontAppender.lastTime());
    if (!startPosted && frontAppender.seenKeyFrame()) player.Post(PlayCode::Started, 0);
}

}  // namespace kx
