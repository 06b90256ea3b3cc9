#include "player/AviSource.h"

#include "app/Trace.h"
#include "containers/AviReader.h"
#include "player/FrameRate.h"
#include "player/KeyGroupAppender.h"
#include "player/SyncPlayer.h"

namespace kx {
namespace {

// Width and height of a bitmap information header (negative heights are top-down pictures).
void PictureSize(const std::array<std::uint8_t, kAviVideoFormatSize>& format, int& width,
                 int& height) {
    width = static_cast<std::int32_t>(Le32(format.data() + 4));
    height = static_cast<std::int32_t>(Le32(format.data() + 8));
    if (height < 0) height = -height;
}

}  // namespace

AviSource::AviSource(std::filesystem::path path, bool showRear)
    : path_(std::move(path)), showRear_(showRear) {}

bool AviSource::Prepare(SyncPlayer& player) {
    info_ = AVIFILEINFO{};
    if (!ValidAVI(path_, info_)) return false;
    int videoSeen = 0;
    for (int stream = 0; stream < info_.streamCount && stream < static_cast<int>(kAviMaxStreams);
         ++stream) {
        const AviStreamHeader& header = info_.streamHeaders[static_cast<std::size_t>(stream)];
        if (IsFourCC(header.fccType, "vids")) {
            (videoSeen == 0 ? frontStream_ : rearStream_) = videoSeen < 2 ? stream : -1;
            ++videoSeen;
        } else if (IsFourCC(header.fccType, "auds") && audioStream_ < 0) {
            audioStream_ = stream;
        } else if (IsFourCC(header.fccHandler, "GPSR")) {
            gpsStream_ = stream;
        } else if (IsFourCC(header.fccHandler, "SENS")) {
            sensorStream_ = stream;
        }
    }
    if (frontStream_ < 0) return false;

    auto prepare = [&](VideoChannel& channel, int stream, int format) {
        const AviStreamHeader& header = info_.streamHeaders[static_cast<std::size_t>(stream)];
        int width = 0, height = 0;
        PictureSize(info_.videoFormats[static_cast<std::size_t>(format)], width, height);
        if (width <= 0 || height <= 0) {
            width = static_cast<int>(info_.mainHeader.width);
            height = static_cast<int>(info_.mainHeader.height);
        }
        if (!channel.SetPlay(path_, true) ||
            !channel.OpenVCodec(kCodecAvc1, width, height, nullptr, 0))
            return false;
        channel.SetFrameRate(AviFrameRate(header.rate, header.scale));
        return true;
    };
    if (!prepare(player.front(), frontStream_, 0)) return false;
    bool rear = showRear_ && rearStream_ >= 0 && prepare(player.rear(), rearStream_, 1);
    player.SetRearPresent(rear);
    if (rear) {
        RepeatLengths repeat =
            RepeatLengthsFor(player.front().frameRate(), player.rear().frameRate());
        player.front().SetRepeatLength(repeat.front);
        player.rear().SetRepeatLength(repeat.rear);
        player.SetKeyFramesOnlyAllowed(player.front().frameRate() != player.rear().frameRate());
    }
    if (audioStream_ >= 0) {
        const std::uint8_t* wave = info_.audioFormat.data();
        WaveFormat format{Le16(wave + 2), static_cast<int>(Le32(wave + 4)), Le16(wave + 14)};
        player.audio().UsePcm(format);
    }
    player.front().SetBaseOffset(static_cast<std::uint32_t>(info_.moviPosition));
    return true;
}

void AviSource::Walk(SyncPlayer& player) {
    VideoChannel& front = player.front();
    VideoChannel& rear = player.rear();
    bool rearPresent = player.rearPresent();
    KeyGroupAppender frontAppender(front.index(), player);
    KeyGroupAppender rearAppender(rear.index(), player);
    // Times of streams 0 and 1 (front and rear): a key frame starts a new second.
    std::int32_t times[2] = {0, 0};
    int keyFrames[2] = {0, 0};
    std::size_t sensorBytes = 0;
    std::uint8_t chunk[kAviSensorChunkCapacity];

    for (const AviIndexEntry& entry : info_.index) {
        if (!player.running()) break;
        int stream = entry.chunkId[0] == '0' ? entry.chunkId[1] - '0' : -1;
        std::int64_t data = info_.moviPosition + std::int64_t{entry.offset} + 4;
        if (data < 0 || data + entry.size > UINT32_MAX) continue;
        SAMPLE_ENTRY sample{static_cast<std::int32_t>(entry.size), 0, 0,
                            static_cast<std::uint32_t>(data)};
        if (stream == frontStream_ || (rearPresent && stream == rearStream_)) {
            int slot = stream == frontStream_ ? 0 : 1;
            VideoChannel& channel = slot == 0 ? front : rear;
            bool key = entry.flags & kAviKeyFrame;
            if (key)
                times[slot] = keyFrames[slot]++ * 1000;
            else
                times[slot] += 1000 / std::max(1, channel.frameRate());
            sample.time = times[slot];
            sample.key = key ? 1 : 0;
            (slot == 0 ? frontAppender : rearAppender).Add(sample, channel.decoderDelay());
            if (key && slot == 0) player.Post(PlayCode::DurationKnown, times[0]);
        } else if (stream == audioStream_) {
            sample.time = times[0];
            sample.key = 1;
            std::lock_guard lock(player.indexMutex());
            player.audioIndex().Append(sample);
        } else if ((stream == gpsStream_ && onGpsChunk) ||
                   (stream == sensorStream_ && onSensorChunk)) {
            std::size_t size = std::min<std::size_t>(entry.size, sizeof chunk);
            bool read;
            {
                std::lock_guard lock(front.fileMutex());
                read = front.ReadAt(data, chunk, size);
            }
            if (!read) continue;
            if (stream == gpsStream_)
                onGpsChunk(chunk, size);
            else
                sensorBytes = onSensorChunk(chunk, size);
        }
    }
    info_.index.clear();
    info_.index.shrink_to_fit();
    frontAppender.Finish(front.decoderDelay());
    if (rearPresent) rearAppender.Finish(rear.decoderDelay());
    player.Post(PlayCode::DurationKnown, times[0]);
    player.Post(PlayCode::Started, static_cast<std::intptr_t>(sensorBytes));
}

void AviSource::Release() {
    info_ = AVIFILEINFO{};
}

}  // namespace kx
