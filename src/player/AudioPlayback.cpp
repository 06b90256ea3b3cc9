#include "player/AudioPlayback.h"

#include <cstring>

#include "app/Trace.h"
#include "player/VideoChannel.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

namespace kx {

bool AudioPlayback::OpenDecoder(const AVCodecParameters& parameters) {
    Release();
    const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
    CodecContextPtr context(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!context || avcodec_parameters_to_context(context.get(), &parameters) < 0 ||
        avcodec_open2(context.get(), codec, nullptr) < 0)
        return false;
    format_ = {context->ch_layout.nb_channels, context->sample_rate, 16};
    decoder_ = std::move(context);
    frame_.reset(av_frame_alloc());
    present_ = format_.channels > 0 && format_.sampleRate > 0;
    return present_;
}

bool AudioPlayback::OpenAacDecoder(int channels, int sampleRate, const std::uint8_t* config,
                                   int configSize) {
    AVCodecParameters* parameters = avcodec_parameters_alloc();
    if (!parameters) return false;
    parameters->codec_type = AVMEDIA_TYPE_AUDIO;
    parameters->codec_id = AV_CODEC_ID_AAC;
    parameters->sample_rate = sampleRate;
    av_channel_layout_default(&parameters->ch_layout, channels);
    if (config && configSize > 0) {
        parameters->extradata = static_cast<std::uint8_t*>(
            av_mallocz(static_cast<std::size_t>(configSize) + AV_INPUT_BUFFER_PADDING_SIZE));
        if (parameters->extradata) {
            std::memcpy(parameters->extradata, config, static_cast<std::size_t>(configSize));
            parameters->extradata_size = configSize;
        }
    }
    bool opened = OpenDecoder(*parameters);
    avcodec_parameters_free(&parameters);
    return opened;
}

void AudioPlayback::UsePcm(const WaveFormat& format) {
    Release();
    format_ = format;
    pcm_ = true;
    present_ = format.channels > 0 && format.sampleRate > 0 && format.bitsPerSample == 16;
}

void AudioPlayback::AudStart() {
    if (!present_) return;
    std::lock_guard lock(audioMutex_);
    if (open_) return;
    open_ = device_.Open(format_, [this] { queue_.PopDone(); });
    if (!open_) Trace("CDispWnd::AudStart", __LINE__, "winmm audio open failed.\n");
}

void AudioPlayback::AudStop() {
    std::lock_guard lock(audioMutex_);
    if (!open_) return;
    device_.Pause();
    device_.Reset();
    device_.Close();
    open_ = false;
    queue_.Clear();
}

void AudioPlayback::Queue(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> block(data, data + size);
    if (!device_.Write(block.data(), block.size())) {
        Trace("CDispWnd::AudPlay", __LINE__, "waveOutPrepareHeader or waveOutWrite Error (0x%0x)\n",
              1u);
        return;
    }
    queue_.Push(std::move(block));
}

// Called by the play thread holding the audio mutex.
void AudioPlayback::AudPlay(VideoChannel& source, std::int32_t size, std::uint32_t offset) {
    if (!open_) return;
    if (!source.ReadData(size, offset)) {
        Trace("CDispWnd::AudPlay", __LINE__, "Audio Data Read Failed. %s\n", source.path().c_str());
        return;
    }
    const std::uint8_t* sample = source.packetData();
    if (pcm_) {
        Queue(sample, static_cast<std::size_t>(size));
        return;
    }
    if (!decoder_ || !packet_) return;
    packet_->data = const_cast<std::uint8_t*>(sample);
    packet_->size = size;
    av_frame_unref(frame_.get());
    if (avcodec_send_packet(decoder_.get(), packet_.get()) < 0 ||
        avcodec_receive_frame(decoder_.get(), frame_.get()) < 0) {
        Trace("CDispWnd::AudPlay", __LINE__, "Audio Decoding Failed. %s\n", source.path().c_str());
        return;
    }
    if (!resampler_) {
        SwrContext* created = nullptr;
        if (swr_alloc_set_opts2(&created, &decoder_->ch_layout, AV_SAMPLE_FMT_S16,
                                format_.sampleRate, &frame_->ch_layout,
                                static_cast<AVSampleFormat>(frame_->format), frame_->sample_rate, 0,
                                nullptr) < 0 ||
            swr_init(created) < 0) {
            swr_free(&created);
            Trace("CDispWnd::AudPlay", __LINE__, "swr_alloc_set_opts failed. %s\n",
                  source.path().c_str());
            return;
        }
        resampler_.reset(created);
    }
    int capacity = frame_->nb_samples * format_.sampleRate / std::max(1, frame_->sample_rate) + 256;
    int bytes =
        av_samples_get_buffer_size(nullptr, format_.channels, capacity, AV_SAMPLE_FMT_S16, 1);
    if (bytes <= 0) {
        Trace("CDispWnd::AudPlay", __LINE__, "audio buffer malloc failed size\n");
        return;
    }
    if (converted_.size() < static_cast<std::size_t>(bytes) + 12) converted_.resize(bytes + 12);
    std::uint8_t* output = converted_.data();
    int samples =
        swr_convert(resampler_.get(), &output, capacity,
                    const_cast<const std::uint8_t**>(frame_->extended_data), frame_->nb_samples);
    if (samples <= 0) return;
    Queue(output,
          static_cast<std::size_t>(samples) * 2 * static_cast<std::size_t>(format_.channels));
}

void AudioPlayback::Release() {
    AudStop();
    decoder_.reset();
    frame_.reset();
    resampler_.reset();
    converted_.clear();
    present_ = false;
    pcm_ = false;
}

}  // namespace kx
