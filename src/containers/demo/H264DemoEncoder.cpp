#include "containers/demo/H264DemoEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

namespace kx {

void H264DemoEncoder::CodecContextFree::operator()(AVCodecContext* context) const {
    avcodec_free_context(&context);
}
void H264DemoEncoder::FrameFree::operator()(AVFrame* frame) const {
    av_frame_free(&frame);
}
void H264DemoEncoder::PacketFree::operator()(AVPacket* packet) const {
    av_packet_free(&packet);
}

H264DemoEncoder::H264DemoEncoder() = default;
H264DemoEncoder::~H264DemoEncoder() = default;

bool H264DemoEncoder::Open(int width, int height, int framesPerSecond, std::string& error) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) {
        error = "libx264 encoder not available";
        return false;
    }
    context_.reset(avcodec_alloc_context3(codec));
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!context_ || !frame_ || !packet_) {
        error = "out of memory";
        return false;
    }
    AVCodecContext* c = context_.get();
    c->width = width;
    c->height = height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{1, framesPerSecond};
    c->framerate = AVRational{framesPerSecond, 1};
    c->gop_size = framesPerSecond;  // one key frame per second, as the camera writes them
    c->keyint_min = framesPerSecond;
    c->max_b_frames = 0;
    c->thread_count = 1;
    av_opt_set(c->priv_data, "preset", "ultrafast", 0);
    av_opt_set(c->priv_data, "tune", "zerolatency", 0);
    av_opt_set(c->priv_data, "x264-params", "scenecut=0:log=-1", 0);
    int result = avcodec_open2(c, codec, nullptr);
    if (result < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(result, text, sizeof text);
        error = std::string("cannot open the H.264 encoder: ") + text;
        return false;
    }
    frame_->format = c->pix_fmt;
    frame_->width = width;
    frame_->height = height;
    if (av_frame_get_buffer(frame_.get(), 0) < 0) {
        error = "out of memory";
        return false;
    }
    return true;
}

bool H264DemoEncoder::Encode(int n, int variant, std::vector<std::uint8_t>& packet,
                             bool& keyFrame) {
    AVFrame* f = frame_.get();
    if (av_frame_make_writable(f) < 0) return false;
    // Diagonal bands that move one step per frame, on a background of the variant's hue.
    for (int y = 0; y < f->height; ++y) {
        std::uint8_t* row = f->data[0] + y * f->linesize[0];
        for (int x = 0; x < f->width; ++x)
            row[x] = static_cast<std::uint8_t>(((x + y + 4 * n) & 63) < 32 ? 60 : 190);
    }
    for (int y = 0; y < f->height / 2; ++y) {
        std::uint8_t* u = f->data[1] + y * f->linesize[1];
        std::uint8_t* v = f->data[2] + y * f->linesize[2];
        for (int x = 0; x < f->width / 2; ++x) {
            u[x] = static_cast<std::uint8_t>(variant ? 90 : 160);
            v[x] = static_cast<std::uint8_t>(variant ? 170 : 100);
        }
    }
    f->pts = n;
    if (avcodec_send_frame(context_.get(), f) < 0) return false;
    if (avcodec_receive_packet(context_.get(), packet_.get()) < 0) return false;
    const AVPacket* p = packet_.get();
    packet.clear();
    // Every chunk starts with a four-byte start code.
    if (p->size >= 3 && p->data[0] == 0 && p->data[1] == 0 && p->data[2] == 1) packet.push_back(0);
    packet.insert(packet.end(), p->data, p->data + p->size);
    keyFrame = (p->flags & AV_PKT_FLAG_KEY) != 0;
    av_packet_unref(packet_.get());
    return true;
}

}  // namespace kx
