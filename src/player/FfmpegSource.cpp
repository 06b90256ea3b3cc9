#include "player/FfmpegSource.h"

#include "app/Trace.h"
#include "player/FrameRate.h"
#include "player/KeyGroupAppender.h"
#include "player/SyncPlayer.h"

namespace kx {
namespace {

// Stops FFmpeg's blocking calls as soon as the player stops.
int InterruptWhenStopped(void* opaque) {
    return static_cast<SyncPlayer*>(opaque)->running() ? 0 : 1;
}

std::int32_t Milliseconds(const AVPacket& packet, const AVStream& stream) {
    std::int64_t stamp = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
    if (stamp == AV_NOPTS_VALUE) return 0;
    if (stream.start_time != AV_NOPTS_VALUE) stamp -= stream.start_time;
    std::int64_t ms = av_rescale_q(stamp, stream.time_base, AVRational{1, 1000});
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(ms, 0, INT32_MAX));
}

}  // namespace

bool FfmpegSource::Prepare(SyncPlayer& player) {
    const PlayerEnvironment& environment = player.environment();
    UniqueFile packets = environment.openPacketFile ? environment.openPacketFile() : nullptr;
    if (!packets) return false;
    player.front().SetPlay(path_, false);
    player.front().SetFile(std::move(packets));
    player.SetRearPresent(false);
    return true;
}

bool FfmpegSource::Connect(SyncPlayer& player) {
    const char* tag = "CDispWnd::AvConnect";
    AVFormatContext* context = avformat_alloc_context();
    if (!context) {
        Trace(tag, __LINE__, "avformat_alloc_context failed %s\n", path_.c_str());
        return false;
    }
    context->interrupt_callback.callback = InterruptWhenStopped;
    context->interrupt_callback.opaque = &player;
    if (avformat_open_input(&context, path_.c_str(), nullptr, nullptr) < 0) {
        Trace(tag, __LINE__, "avformat_open_input failed %s\n", path_.c_str());
        return false;  // FFmpeg freed the context
    }
    input_.reset(context);
    if (avformat_find_stream_info(context, nullptr) < 0) {
        Trace(tag, __LINE__, "avformat_find_stream_info failed %s\n", path_.c_str());
        return false;
    }
    videoStream_ = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    audioStream_ = av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (videoStream_ < 0) {
        Trace(tag, __LINE__, "no video stream founded %s\n", path_.c_str());
        return false;
    }
    const AVStream& video = *context->streams[videoStream_];
    const AVCodecParameters& parameters = *video.codecpar;
    int codecId = parameters.codec_id == AV_CODEC_ID_HEVC ? kCodecHvc1 : kCodecAvc1;
    if (!player.front().OpenVCodec(codecId, parameters.width, parameters.height,
                                   parameters.extradata, parameters.extradata_size)) {
        Trace(tag, __LINE__, "video codec open failed %s\n", path_.c_str());
        return false;
    }
    player.front().SetFrameRate(RoundFrameRate(av_q2d(video.avg_frame_rate)));
    if (audioStream_ < 0) {
        Trace(tag, __LINE__, "no audio stream founded %s\n", path_.c_str());
    } else if (!player.audio().OpenDecoder(*context->streams[audioStream_]->codecpar)) {
        Trace(tag, __LINE__, "audio codec open failed %s\n", path_.c_str());
    }
    av_read_play(context);
    if (player.startOffset() == 0) player.audio().AudStart();
    return true;
}

void FfmpegSource::Walk(SyncPlayer& player) {
    AVFormatContext* context = input_.get();
    VideoChannel& front = player.front();
    KeyGroupAppender video(front.index(), player);
    PacketPtr packet(av_packet_alloc());
    std::uint32_t offset = 0;
    bool startPosted = false;
    while (player.running()) {
        int result = av_read_frame(context, packet.get());
        if (result < 0) {
            if (result != AVERROR_EOF && player.running()) player.Post(PlayCode::CannotPlay, 0);
            break;
        }
        const AVStream& stream = *context->streams[packet->stream_index];
        bool isVideo = packet->stream_index == videoStream_;
        bool isAudio = packet->stream_index == audioStream_;
        if ((isVideo || isAudio) && packet->size > 0 &&
            static_cast<std::uint64_t>(offset) + static_cast<std::uint64_t>(packet->size) <
                UINT32_MAX &&
            front.WriteData(offset, packet->data, static_cast<std::size_t>(packet->size))) {
            SAMPLE_ENTRY entry{
                packet->size, Milliseconds(*packet, stream),
                static_cast<std::uint8_t>(isAudio || (packet->flags & AV_PKT_FLAG_KEY)), offset};
            offset += static_cast<std::uint32_t>(packet->size);
            if (isVideo) {
                video.Add(entry, front.decoderDelay());
                if (entry.key) {
                    player.Post(PlayCode::DurationKnown, entry.time);
                    if (!startPosted && entry.time / 1000 >= player.startOffset()) {
                        player.Post(PlayCode::Started, 0);
                        startPosted = true;
                    }
                }
            } else {
                std::lock_guard lock(player.indexMutex());
                player.audioIndex().Append(entry);
            }
        }
        av_packet_unref(packet.get());
    }
    video.Finish(front.decoderDelay());
    player.Post(PlayCode::DurationKnown, video.lastTime());
    if (!startPosted && video.seenKeyFrame()) player.Post(PlayCode::Started, 0);
}

}  // namespace kx
