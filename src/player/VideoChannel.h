#pragma once
// One camera channel of the player: the open recording, its video index, the decoder, the
// presenter and the step cache. It does no timing of its own; the player's threads and the
// control panel tell it which sample to decode and show. Runs without a window (the widget
// CDrawWnd wraps it).
#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "containers/Mp4File.h"
#include "platform/AtomicFile.h"
#include "player/CDraw.h"
#include "player/FfmpegHandles.h"
#include "player/SampleIndex.h"
#include "player/StepCache.h"

namespace kx {

// The size of the picture conversion buffer: one 1920 x 1080 picture at 4 bytes per pixel. It
// grows for larger pictures.
inline constexpr std::size_t kPictureBufferBytes = 8'294'400;
// Headroom of the packet buffer beyond the sample size (also covers the decoder's padding).
inline constexpr std::size_t kPacketHeadroom = 1024;
// The most pictures a channel keeps decoded ahead of the one shown (1920 x 1080 4:2:0 pictures
// are about 3 MB each).
inline constexpr std::size_t kMaxAheadPictures = 32;
// No camera sample comes near this; a larger size in an index is damage, not a sample.
inline constexpr std::int32_t kMaxSampleBytes = 64 * 1024 * 1024;

// The "threads" option of the decoders: the processor count, 4 when there are more than 3.
std::string DecoderThreadCountText(unsigned processorCount);

// A picture converted for capture: 24-bit BGR, top row first, rows of exactly width x 3 bytes.
struct BgrImage {
    const std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
};

class VideoChannel {
  public:
    VideoChannel(int channel, SampleIndex& index);
    ~VideoChannel();
    VideoChannel(const VideoChannel&) = delete;
    VideoChannel& operator=(const VideoChannel&) = delete;

    // Remembers the path and, with open set, opens the file read-only.
    bool SetPlay(const std::filesystem::path& path, bool open);
    // Reads from an already open file instead (the player's packet file).
    void SetFile(UniqueFile file);
    // H.264, or HEVC for codec id 119 (kCodecHvc1), with the decoder configuration bytes as
    // extradata.
    bool OpenVCodec(int codecId, int width, int height, const std::uint8_t* extradata,
                    int extradataSize);
    bool ReadData(std::int32_t size, std::uint32_t offset);
    // Reads bytes at an absolute position of the channel's file; the caller holds the file
    // mutex.
    bool ReadAt(std::int64_t position, std::uint8_t* bytes, std::size_t size);
    // The bytes of the last ReadData.
    const std::uint8_t* packetData() const { return packet_.data(); }
    // Reads one sample and decodes it into the frame slot; false when no picture came out.
    bool Decode(std::int32_t size, std::uint32_t offset);
    // Decodes one indexed sample into the frame slot; false when no picture came out. A
    // sample decoded ahead is taken from the queue instead; asked for another sample while
    // pictures wait there (a jump), the decoder is flushed. After a flush, a sample between key
    // frames gets its group decoded first, so that its picture comes out whole.
    bool DecodeEntry(std::size_t entry);
    // Decodes the sample after the last one sent and keeps its picture for the DecodeEntry of
    // that sample, so that the player can decode in bursts while the clock waits. False when
    // that sample is not in the index yet, the queue is full, or no sample was sent since the
    // last jump.
    bool DecodeAhead();
    std::size_t aheadCount() const { return ahead_.size(); }
    // Forgets the decoder's pictures and samples (after a jump); the decoding thread calls it.
    void FlushDecoder();
    // Decode in two halves: a sample to the decoder, a picture from it into the frame slot.
    bool Send(std::int32_t size, std::uint32_t offset);
    bool Receive();
    // Shows the frame slot (converted when the presenter wants a packed layout).
    void DrawFrame(int flip, bool repaint);
    // The next sample becomes the last key frame at or before timeMs; the decoder is flushed.
    void SeekKey(std::int32_t timeMs, bool resetCache);
    // The last key frame entry at or before timeMs (0 when there is none).
    std::size_t KeyEntryAt(std::int32_t timeMs) const;
    // Decodes from the next sample until a picture comes out.
    bool DecodeToFrame();
    // One picture forward or backward; the cache position, or -1. The frame slot then holds
    // the picture to show.
    int StepNext(std::FILE* cacheFile);
    int StepPrev(std::FILE* cacheFile);
    void ResetStep(bool redecode);
    // The frame slot as 24-bit BGR in the conversion buffer.
    std::optional<BgrImage> GetImage();
    void StopPlay(bool full);

    // Presenter, with the display type it reported.
    bool CreatePresenter(std::unique_ptr<CDraw> presenter);
    CDrawDisp& display() { return display_; }
    // Gives each channel the other's presenter (front and rear pictures change windows); each
    // presenter is resized to its new channel's picture.
    static void ExchangePresenters(VideoChannel& first, VideoChannel& second);
    int displayType() const { return displayType_; }

    // Set by the player.
    void SetFrameRate(int rate) { frameRate_ = rate; }
    void SetRepeatLength(int length) { repeatLength_ = length; }
    void SetBaseOffset(std::uint32_t offset) { baseOffset_ = offset; }
    // Lays out this channel's region of the step file (frame-rate pictures).
    void ConfigureStepCache(std::uint64_t regionStart);

    int channel() const { return channel_; }
    int frameRate() const { return frameRate_; }
    int width() const { return width_; }
    int height() const { return height_; }
    std::uint32_t baseOffset() const { return baseOffset_; }
    std::size_t nextSample() const { return nextSample_; }
    void SetNextSample(std::size_t next) { nextSample_ = next; }
    std::size_t entryCount() const { return index_.size(); }
    const SampleIndex& index() const { return index_; }
    SampleIndex& index() { return index_; }
    // Writes bytes into the channel's file at offset (the packet file of demultiplexed
    // recordings), holding the file mutex.
    bool WriteData(std::uint32_t offset, const std::uint8_t* data, std::size_t size);
    int decoderDelay() const;
    // The time of the picture shown: the entry decoder-delay + 1 before the next sample.
    std::int32_t ShownTime() const;
    const StepCache& stepCache() const { return stepCache_; }
    // Pictures decoded since the channel was prepared (for tests and benchmarks).
    int decodedPictures() const { return decodedPictures_; }
    const AVFrame* frame() const { return frame_.get(); }
    const std::filesystem::path& path() const { return path_; }
    std::mutex& displayMutex() { return displayMutex_; }
    std::mutex& fileMutex() { return fileMutex_; }

  private:
    bool ReceiveInto(AVFrame& target);
    bool EnsurePlanar420(AVFrame& target);
    bool Rebuild(std::FILE* cacheFile);
    std::size_t KeyAtOrBefore(std::size_t entry) const;
    std::uint8_t* ConversionBuffer(std::size_t bytes);
    // The frame slot converted into the conversion buffer in a packed layout with rows of
    // stride bytes (the caller holds the display mutex); null when it cannot be converted.
    std::uint8_t* ConvertFrame(AVPixelFormat target, int stride);

    const int channel_;
    SampleIndex& index_;
    std::filesystem::path path_;
    UniqueFile file_;
    std::uint32_t baseOffset_ = 0;
    CodecContextPtr decoder_;
    int width_ = 0;
    int height_ = 0;
    int frameRate_ = 10;
    std::size_t nextSample_ = 0;
    int repeatLength_ = 0;
    int repeatCounter_ = 0;
    StepCache stepCache_;
    int decodedPictures_ = 0;

    // Pictures decoded ahead, oldest first: the sample each came from, and whether that
    // sample gave a picture.
    struct AheadPicture {
        std::size_t entry;
        bool picture;
        FramePtr frame;
    };
    static constexpr std::size_t kNoEntry = SIZE_MAX;
    std::deque<AheadPicture> ahead_;
    std::size_t sentUpTo_ = kNoEntry;  // one past the last sample sent, kNoEntry after a jump

    std::vector<std::uint8_t> packet_;
    std::vector<std::uint8_t> conversion_;
    FramePtr frame_;
    FramePtr planar_;       // a picture converted to 4:2:0 when the decoder gives another layout
    PacketPtr sendPacket_;  // reused for every sample: it only points at packet_
    SwsContextPtr scaler_;
    SwsContextPtr planarScaler_;

    CDrawDisp display_;
    int displayType_ = kDisplayNone;
    std::mutex displayMutex_;
    std::mutex fileMutex_;
};

}  // namespace kx
