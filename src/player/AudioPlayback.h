#pragma once
// The player's sound: decodes audio samples (AAC through the decoder and the resampler to
// signed 16-bit; PCM unchanged), writes them as blocks to the sound device and keeps the queue
// of blocks the device has not finished.
#include <cstdint>
#include <mutex>
#include <vector>

#include "player/CWaveQ.h"
#include "player/FfmpegHandles.h"
#include "player/WaveOut.h"

namespace kx {

class VideoChannel;

// At most this many blocks are ahead of the picture clock.
inline constexpr int kMaxQueuedAudioBlocks = 8;

class AudioPlayback {
  public:
    explicit AudioPlayback(WaveOut& device) : device_(device), packet_(av_packet_alloc()) {}
    ~AudioPlayback() { AudStop(); }

    // The recording's sound: a decoder for compressed audio, or PCM in the output format.
    bool OpenDecoder(const AVCodecParameters& parameters);
    bool OpenAacDecoder(int channels, int sampleRate, const std::uint8_t* config, int configSize);
    void UsePcm(const WaveFormat& format);
    bool present() const { return present_; }
    const WaveFormat& format() const { return format_; }

    void AudStart();
    void AudStop();
    // Reads one sample through the channel's file, decodes, converts and queues it.
    void AudPlay(VideoChannel& source, std::int32_t size, std::uint32_t offset);
    int Count() const { return queue_.Count(); }
    bool isOpen() const { return open_; }
    std::mutex& audioMutex() { return audioMutex_; }

    // Forgets the decoder, the resampler and the buffers (end of a recording).
    void Release();

  private:
    void Queue(const std::uint8_t* data, std::size_t size);

    WaveOut& device_;
    CWaveQ queue_;
    std::mutex audioMutex_;
    bool open_ = false;
    bool present_ = false;
    bool pcm_ = false;
    WaveFormat format_;
    CodecContextPtr decoder_;
    FramePtr frame_;
    PacketPtr packet_;  // reused for every block: it only points at the read bytes
    SwrContextPtr resampler_;
    std::vector<std::uint8_t> converted_;
};

}  // namespace kx
