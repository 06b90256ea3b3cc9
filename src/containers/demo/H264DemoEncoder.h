#pragma once
// A small H.264 encoder for demo pictures (libx264 through libavcodec): Annex-B packets, the
// parameter sets repeated in front of every key frame, one key frame per group of frames.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace kx {

class H264DemoEncoder {
  public:
    H264DemoEncoder();
    ~H264DemoEncoder();
    H264DemoEncoder(const H264DemoEncoder&) = delete;
    H264DemoEncoder& operator=(const H264DemoEncoder&) = delete;

    bool Open(int width, int height, int framesPerSecond, std::string& error);
    // Encodes frame number n of a moving test picture (hue chosen by variant); the packet comes
    // out at once (no frame delay). Every packet starts with 00 00 00 01.
    bool Encode(int n, int variant, std::vector<std::uint8_t>& packet, bool& keyFrame);

  private:
    struct CodecContextFree {
        void operator()(AVCodecContext* context) const;
    };
    struct FrameFree {
        void operator()(AVFrame* frame) const;
    };
    struct PacketFree {
        void operator()(AVPacket* packet) const;
    };
    std::unique_ptr<AVCodecContext, CodecContextFree> context_;
    std::unique_ptr<AVFrame, FrameFree> frame_;
    std::unique_ptr<AVPacket, PacketFree> packet_;
};

}  // namespace kx
