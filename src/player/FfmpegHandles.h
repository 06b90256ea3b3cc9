#pragma once
// Owning handles for FFmpeg objects: each is released by its own free function.
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace kx {

struct CodecContextFree {
    void operator()(AVCodecContext* context) const noexcept { avcodec_free_context(&context); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const noexcept { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const noexcept { av_packet_free(&packet); }
};
struct SwsFree {
    void operator()(SwsContext* context) const noexcept { sws_freeContext(context); }
};
struct SwrFree {
    void operator()(SwrContext* context) const noexcept { swr_free(&context); }
};
struct FormatInputClose {
    void operator()(AVFormatContext* context) const noexcept { avformat_close_input(&context); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsFree>;
using SwrContextPtr = std::unique_ptr<SwrContext, SwrFree>;
using FormatInputPtr = std::unique_ptr<AVFormatContext, FormatInputClose>;

}  // namespace kx
