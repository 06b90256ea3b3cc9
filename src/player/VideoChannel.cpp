#include "player/VideoChannel.h"

#include <algorithm>
#include <cstring>

#include "app/Trace.h"
#include "platform/TickCount.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

namespace kx {
namespace {

const char* PathText(const std::filesystem::path& path) {
    return path.c_str();
}

AVPixelFormat PackedFormatFor(int displayType) {
    switch (displayType) {
        case kDisplayRgb16:
            return AV_PIX_FMT_RGB565LE;
        case kDisplayBgr24:
            return AV_PIX_FMT_BGR24;
        case kDisplayBgra32:
            return AV_PIX_FMT_BGRA;
        case kDisplayYuy2:
            return AV_PIX_FMT_YUYV422;
        default:
            return AV_PIX_FMT_NONE;
    }
}

int BytesPerPixel(int displayType) {
    return displayType == kDisplayYuy2 ? 2 : displayType;
}

}  // namespace

std::string DecoderThreadCountText(unsigned processorCount) {
    if (processorCount == 0) return "0";
    return std::to_string(processorCount > 3 ? 4 : processorCount);
}

VideoChannel::VideoChannel(int channel, SampleIndex& index)
    : channel_(channel),
      index_(index),
      frame_(av_frame_alloc()),
      planar_(av_frame_alloc()),
      sendPacket_(av_packet_alloc()) {}

VideoChannel::~VideoChannel() {
    StopPlay(false);
}

bool VideoChannel::SetPlay(const std::filesystem::path& path, bool open) {
    if (path.empty()) return false;
    path_ = path;
    if (!open) return true;
    std::lock_guard lock(fileMutex_);
    file_ = OpenFile(path, "rb");
    if (!file_) {
        Trace("CDrawWnd::SetPlay", __LINE__, "%s file open failed\n", PathText(path));
        return false;
    }
    return true;
}

void VideoChannel::SetFile(UniqueFile file) {
    std::lock_guard lock(fileMutex_);
    file_ = std::move(file);
}

bool VideoChannel::OpenVCodec(int codecId, int width, int height, const std::uint8_t* extradata,
                              int extradataSize) {
    const AVCodec* codec =
        avcodec_find_decoder(codecId == kCodecHvc1 ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264);
    CodecContextPtr context(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!context || width < 0 || height < 0 || extradataSize < 0) {
        Trace("CDrawWnd::OpenVCodec", __LINE__, "video codec open failed\n");
        return false;
    }
    context->width = width;
    context->height = height;
    // The decoder gets its own padded copy of the configuration bytes.
    if (extradata && extradataSize > 0) {
        context->extradata = static_cast<std::uint8_t*>(
            av_mallocz(static_cast<std::size_t>(extradataSize) + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!context->extradata) {
            Trace("CDrawWnd::OpenVCodec", __LINE__, "video codec open failed\n");
            return false;
        }
        std::memcpy(context->extradata, extradata, static_cast<std::size_t>(extradataSize));
        context->extradata_size = extradataSize;
    }
    AVDictionary* options = nullptr;
    av_dict_set(&options, "refcounted_frames", "1", 0);
    av_dict_set(&options, "threads", DecoderThreadCountText(ProcessorCount()).c_str(), 0);
    int result = avcodec_open2(context.get(), codec, &options);
    av_dict_free(&options);
    if (result < 0) {
        Trace("CDrawWnd::OpenVCodec", __LINE__, "video codec open failed\n");
        return false;
    }
    decoder_ = std::move(context);
    width_ = width;
    height_ = height;
    return true;
}

int VideoChannel::decoderDelay() const {
    if (!decoder_) return 0;
    return std::max(0, decoder_->delay) + std::max(0, decoder_->has_b_frames);
}

std::int32_t VideoChannel::ShownTime() const {
    long shownEntry = static_cast<long>(nextSample_) - 1 - decoderDelay();
    return index_.At(static_cast<std::size_t>(std::max(0L, shownEntry))).time;
}

bool VideoChannel::ReadData(std::int32_t size, std::uint32_t offset) {
    if (size <= 0 || size > kMaxSampleBytes) {
        Trace("CDrawWnd::ReadData", __LINE__, "Video Data malloc Failed. Size(%d) %s\n", size,
              PathText(path_));
        return false;
    }
    std::size_t needed = static_cast<std::size_t>(size) + kPacketHeadroom;
    if (packet_.size() < needed) {
        packet_.clear();
        packet_.shrink_to_fit();
        packet_.resize(needed);
    }
    std::lock_guard lock(fileMutex_);
    if (!ReadAt(offset, packet_.data(), static_cast<std::size_t>(size))) return false;
    // The decoder reads a little past the end of a packet: that part must be zero.
    std::memset(packet_.data() + size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    return true;
}

bool VideoChannel::ReadAt(std::int64_t position, std::uint8_t* bytes, std::size_t size) {
    if (!file_ || fseeko(file_.get(), static_cast<off_t>(position), SEEK_SET) != 0) return false;
    return std::fread(bytes, 1, size, file_.get()) == size;
}

bool VideoChannel::WriteData(std::uint32_t offset, const std::uint8_t* data, std::size_t size) {
    std::lock_guard lock(fileMutex_);
    if (!file_ || fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0) return false;
    return std::fwrite(data, 1, size, file_.get()) == size;
}

bool VideoChannel::Decode(std::int32_t size, std::uint32_t offset) {
    return Send(size, offset) && Receive();
}

bool VideoChannel::Send(std::int32_t size, std::uint32_t offset) {
    if (!decoder_) return false;
    if (!ReadData(size, offset)) {
        Trace("CDrawWnd::Decode", __LINE__, "Video Data Read Failed. %s\n", PathText(path_));
        return false;
    }
    if (!sendPacket_) return false;
    sendPacket_->data = packet_.data();
    sendPacket_->size = size;
    int sent = avcodec_send_packet(decoder_.get(), sendPacket_.get());
    if (sent < 0 && sent != AVERROR(EAGAIN)) {
        Trace("CDrawWnd::Decode", __LINE__, "Video Decoding send Failed. %s\n", PathText(path_));
        return false;
    }
    return true;
}

bool VideoChannel::Receive() {
    return ReceiveInto(*frame_);
}

bool VideoChannel::ReceiveInto(AVFrame& target) {
    if (!decoder_) return false;
    av_frame_unref(&target);
    int received = avcodec_receive_frame(decoder_.get(), &target);
    if (received < 0) {
        // A decoder that holds pictures back answers "again" until its delay is filled: that
        // is not an error worth a trace line.
        if (received != AVERROR(EAGAIN))
            Trace("CDrawWnd::Decode", __LINE__, "Video Decoding receive Failed. %s\n",
                  PathText(path_));
        return false;
    }
    ++decodedPictures_;
    return EnsurePlanar420(target);
}

bool VideoChannel::DecodeEntry(std::size_t entry) {
    if (!ahead_.empty()) {
        if (ahead_.front().entry == entry) {
            AheadPicture ready = std::move(ahead_.front());
            ahead_.pop_front();
            av_frame_unref(frame_.get());
            if (ready.picture) av_frame_move_ref(frame_.get(), ready.frame.get());
            return ready.picture;
        }
        FlushDecoder();
    }
    if (sentUpTo_ == kNoEntry && entry < index_.size() && !index_[entry].key) {
        // After a flush a picture between key frames needs its group decoded first.
        for (std::size_t sample = KeyAtOrBefore(entry); sample < entry; ++sample) {
            SAMPLE_ENTRY earlier = index_[sample];
            Decode(earlier.size, earlier.offset);
        }
    }
    SAMPLE_ENTRY sample = index_.At(entry);
    sentUpTo_ = entry + 1;
    return Decode(sample.size, sample.offset);
}

bool VideoChannel::DecodeAhead() {
    if (!decoder_ || sentUpTo_ == kNoEntry || ahead_.size() >= kMaxAheadPictures) return false;
    SAMPLE_ENTRY sample = index_.At(sentUpTo_);
    if (sample.size <= 0) return false;
    FramePtr picture(av_frame_alloc());
    if (!picture) return false;
    bool got = Send(sample.size, sample.offset) && ReceiveInto(*picture);
    ahead_.push_back(AheadPicture{sentUpTo_, got, std::move(picture)});
    ++sentUpTo_;
    return true;
}

// Presenters and the step cache take 8-bit 4:2:0; other decoder layouts are converted once.
// The decoding thread has its own scaler: the display's is used under the display mutex.
bool VideoChannel::EnsurePlanar420(AVFrame& target) {
    int format = target.format;
    if (format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P) return true;
    av_frame_unref(planar_.get());
    planar_->format = AV_PIX_FMT_YUV420P;
    planar_->width = target.width;
    planar_->height = target.height;
    if (av_frame_get_buffer(planar_.get(), 0) < 0) return false;
    planarScaler_.reset(sws_getCachedContext(
        planarScaler_.release(), target.width, target.height, static_cast<AVPixelFormat>(format),
        target.width, target.height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!planarScaler_) return false;
    sws_scale(planarScaler_.get(), target.data, target.linesize, 0, target.height, planar_->data,
              planar_->linesize);
    av_frame_unref(&target);
    av_frame_move_ref(&target, planar_.get());
    return true;
}

std::uint8_t* VideoChannel::ConvertFrame(AVPixelFormat target, int stride) {
    const AVFrame& frame = *frame_;
    if (target == AV_PIX_FMT_NONE) return nullptr;
    std::uint8_t* buffer =
        ConversionBuffer(static_cast<std::size_t>(stride) * static_cast<std::size_t>(frame.height));
    scaler_.reset(sws_getCachedContext(
        scaler_.release(), frame.width, frame.height, static_cast<AVPixelFormat>(frame.format),
        frame.width, frame.height, target, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!scaler_) return nullptr;
    std::uint8_t* planes[4] = {buffer, nullptr, nullptr, nullptr};
    int strides[4] = {stride, 0, 0, 0};
    sws_scale(scaler_.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
    return buffer;
}

std::uint8_t* VideoChannel::ConversionBuffer(std::size_t bytes) {
    if (conversion_.size() < std::max(bytes, kPictureBufferBytes))
        conversion_.resize(std::max(bytes, kPictureBufferBytes));
    return conversion_.data();
}

bool VideoChannel::CreatePresenter(std::unique_ptr<CDraw> presenter) {
    {
        std::lock_guard lock(displayMutex_);
        display_.draw.reset();
        displayType_ = kDisplayNone;
    }
    if (!presenter) return false;
    // Init runs outside the display mutex: showing a window may paint it at once, and the
    // paint takes that mutex. The presenter is not reachable by other threads before it is set.
    int type = presenter->Init(width_, height_);
    if (type == kDisplayNone) return false;
    std::lock_guard lock(displayMutex_);
    display_.draw = std::move(presenter);
    displayType_ = type;
    return true;
}

void VideoChannel::ExchangePresenters(VideoChannel& first, VideoChannel& second) {
    std::scoped_lock lock(first.displayMutex_, second.displayMutex_);
    std::swap(first.display_.draw, second.display_.draw);
    std::swap(first.displayType_, second.displayType_);
    if (first.display_.draw) first.display_.draw->Resize(first.width_, first.height_);
    if (second.display_.draw) second.display_.draw->Resize(second.width_, second.height_);
}

void VideoChannel::DrawFrame(int flip, bool repaint) {
    std::lock_guard lock(displayMutex_);
    if (!display_.draw) return;
    const AVFrame& frame = *frame_;
    if (!frame.data[0] || frame.width <= 0 || frame.height <= 0) {
        display_.draw->Draw(nullptr, flip, repaint);
        return;
    }
    Picture picture;
    picture.width = frame.width;
    picture.height = frame.height;
    picture.displayType = displayType_;
    if (NeedsConversion(displayType_)) {
        int stride = frame.width * BytesPerPixel(displayType_);
        std::uint8_t* buffer = ConvertFrame(PackedFormatFor(displayType_), stride);
        if (!buffer) return;
        picture.planes[0] = buffer;
        picture.strides[0] = stride;
    } else {
        for (int plane = 0; plane < 3; ++plane) {
            picture.planes[plane] = frame.data[plane];
            picture.strides[plane] = frame.linesize[plane];
        }
    }
    display_.draw->Draw(&picture, flip, repaint);
}

std::size_t VideoChannel::KeyAtOrBefore(std::size_t entry) const {
    std::size_t count = index_.size();
    if (count == 0) return 0;
    entry = std::min(entry, count - 1);
    while (entry > 0 && !index_[entry].key) --entry;
    return entry;
}

void VideoChannel::FlushDecoder() {
    // Pictures still held for the old position must not come out after a jump.
    if (decoder_) avcodec_flush_buffers(decoder_.get());
    ahead_.clear();
    sentUpTo_ = kNoEntry;
}

std::size_t VideoChannel::KeyEntryAt(std::int32_t timeMs) const {
    std::size_t found = 0;
    std::size_t count = index_.size();
    for (std::size_t i = 0; i < count; ++i) {
        const SAMPLE_ENTRY& entry = index_[i];
        if (entry.size <= 0 || entry.time > timeMs) break;
        if (entry.key) found = i;
    }
    return found;
}

void VideoChannel::SeekKey(std::int32_t timeMs, bool resetCache) {
    nextSample_ = KeyEntryAt(timeMs);
    FlushDecoder();
    if (resetCache) stepCache_.Invalidate();
}

bool VideoChannel::DecodeToFrame() {
    std::size_t count = index_.size();
    for (int i = 0; i < decoderDelay() && nextSample_ < count; ++i) DecodeEntry(nextSample_++);
    while (nextSample_ < count) {
        if (DecodeEntry(nextSample_++)) return true;
    }
    return false;
}

void VideoChannel::ConfigureStepCache(std::uint64_t regionStart) {
    stepCache_.Configure(regionStart, width_, height_, frameRate_);
    repeatCounter_ = 0;
}

int VideoChannel::StepNext(std::FILE* cacheFile) {
    if (nextSample_ >= index_.size() || index_[nextSample_].size <= 0) return -1;
    if (repeatCounter_ > 0) {
        --repeatCounter_;
        return stepCache_.position;
    }
    ++stepCache_.position;
    std::size_t entry = nextSample_++;
    repeatCounter_ = repeatLength_;
    if (stepCache_.IsValid(stepCache_.position) &&
        stepCache_.Read(cacheFile, stepCache_.position, *frame_))
        return stepCache_.position;
    if (!DecodeEntry(entry)) {
        --stepCache_.position;
        return -1;
    }
    if (stepCache_.position >= stepCache_.size()) {
        stepCache_.Invalidate();
        stepCache_.position = 0;
    }
    stepCache_.Write(cacheFile, stepCache_.position, *frame_);
    return stepCache_.position;
}

int VideoChannel::StepPrev(std::FILE* cacheFile) {
    if (nextSample_ == 0) return -1;
    if (!cacheFile) {
        // Without a step file: back to the key frame before the previous picture.
        long wanted = static_cast<long>(nextSample_) - decoderDelay() - 2;
        if (wanted < 0) return -1;
        nextSample_ = KeyAtOrBefore(static_cast<std::size_t>(wanted));
        FlushDecoder();
        for (int i = 0; i < decoderDelay() && nextSample_ < index_.size(); ++i)
            DecodeEntry(nextSample_++);
        if (nextSample_ < index_.size()) DecodeEntry(nextSample_++);
        stepCache_.position = 0;
        return 0;
    }
    if (repeatCounter_ > 0) {
        --repeatCounter_;
        return stepCache_.position;
    }
    --stepCache_.position;
    --nextSample_;
    repeatCounter_ = repeatLength_;
    if (stepCache_.position >= 0) {
        if (stepCache_.Read(cacheFile, stepCache_.position, *frame_)) return stepCache_.position;
        stepCache_.position = -1;  // unreadable: rebuild as if it were not cached
    }
    return Rebuild(cacheFile) ? stepCache_.position : -1;
}

// Decodes the group of pictures that ends with the picture before the current one into the
// cache, so that the following backward steps are file reads.
bool VideoChannel::Rebuild(std::FILE* cacheFile) {
    const int delay = decoderDelay();
    // The picture now wanted came from the sample `delay` places before the next one.
    long lastSample = static_cast<long>(nextSample_) - 1;
    long wanted = lastSample - delay;
    if (wanted < 0) {
        ++stepCache_.position;
        ++nextSample_;
        return stepCache_.position >= 0;
    }
    std::size_t key = KeyAtOrBefore(static_cast<std::size_t>(wanted));
    std::size_t sample = key;
    FlushDecoder();
    for (int i = 0; i < delay && sample < index_.size(); ++i) DecodeEntry(sample++);

    // Pictures key .. wanted; only the last cache-size of them fit. The next sample goes to
    // the decoder before the last picture is written, so its threads work during the write.
    long pictures = wanted - static_cast<long>(key) + 1;
    long skip = std::max(0L, pictures - stepCache_.size());
    int position = -1;
    bool pending = false;  // the frame slot holds a picture still to be written
    for (long picture = 0; picture < pictures && sample < index_.size(); ++picture) {
        SAMPLE_ENTRY entry = index_.At(sample++);
        bool sent = Send(entry.size, entry.offset);
        if (pending && stepCache_.Write(cacheFile, position + 1, *frame_)) ++position;
        pending = sent && Receive() && picture >= skip;
    }
    if (pending && stepCache_.Write(cacheFile, position + 1, *frame_)) ++position;
    nextSample_ = sample;
    stepCache_.position = position;
    stepCache_.InvalidateAfter(position);
    return position >= 0;
}

void VideoChannel::ResetStep(bool redecode) {
    if (redecode && nextSample_ > 0) {
        // After the flush DecodeEntry decodes the group up to the last sample again.
        FlushDecoder();
        DecodeEntry(nextSample_ - 1);
    }
    stepCache_.Invalidate();
    repeatCounter_ = 0;
}

std::optional<BgrImage> VideoChannel::GetImage() {
    std::lock_guard lock(displayMutex_);
    const AVFrame& frame = *frame_;
    if (!frame.data[0] || frame.width <= 0 || frame.height <= 0) return std::nullopt;
    std::uint8_t* buffer = ConvertFrame(AV_PIX_FMT_BGR24, frame.width * 3);
    if (!buffer) return std::nullopt;
    return BgrImage{buffer, frame.width, frame.height};
}

void VideoChannel::StopPlay(bool full) {
    ahead_.clear();
    sentUpTo_ = kNoEntry;
    decoder_.reset();
    if (full) {
        {
            std::lock_guard lock(displayMutex_);
            if (display_.draw) display_.draw->Clear();
        }
        packet_.clear();
        packet_.shrink_to_fit();
        av_frame_unref(frame_.get());
        index_.Clear();
        nextSample_ = 0;
        repeatLength_ = 0;
        repeatCounter_ = 0;
        stepCache_.Invalidate();
        decodedPictures_ = 0;
    }
    baseOffset_ = 0;
    std::lock_guard lock(fileMutex_);
    file_.reset();
}

}  // namespace kx
