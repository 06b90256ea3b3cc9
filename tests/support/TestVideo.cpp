#include "support/TestVideo.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "player/FfmpegHandles.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace kx::test {

int TestVideoLevel(int picture) {
    return 20 + 2 * (picture % 100);
}

int PictureOfLevel(double meanLuma) {
    return static_cast<int>(std::lround((meanLuma - 20) / 2));
}

TestVideo WriteTestVideo(const std::filesystem::path& path, int pictures, int gop, int width,
                         int height, int fps) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) throw std::runtime_error("libx264 missing");
    CodecContextPtr encoder(avcodec_alloc_context3(codec));
    encoder->width = width;
    encoder->height = height;
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    encoder->time_base = AVRational{1, fps};
    encoder->framerate = AVRational{fps, 1};
    encoder->gop_size = gop;
    encoder->max_b_frames = 0;
    av_opt_set(encoder->priv_data, "preset", "ultrafast", 0);
    av_opt_set(encoder->priv_data, "tune", "zerolatency", 0);
    av_opt_set(encoder->priv_data, "x264-params", "keyint_min=1:scenecut=0:repeat-headers=1", 0);
    if (avcodec_open2(encoder.get(), codec, nullptr) < 0)
        throw std::runtime_error("encoder open failed");

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw std::runtime_error("cannot write test video");
    TestVideo video{{}, width, height, fps};
    FramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    av_frame_get_buffer(frame.get(), 0);
    PacketPtr packet(av_packet_alloc());
    std::uint32_t offset = 0;
    auto drain = [&] {
        while (avcodec_receive_packet(encoder.get(), packet.get()) == 0) {
            std::fwrite(packet->data, 1, static_cast<std::size_t>(packet->size), file);
            SAMPLE_ENTRY entry{};
            entry.size = packet->size;
            entry.time = static_cast<std::int32_t>(video.entries.size() * 1000 / fps);
            entry.key = (packet->flags & AV_PKT_FLAG_KEY) ? 1 : 0;
            entry.offset = offset;
            offset += static_cast<std::uint32_t>(packet->size);
            video.entries.push_back(entry);
            av_packet_unref(packet.get());
        }
    };
    for (int n = 0; n < pictures; ++n) {
        av_frame_make_writable(frame.get());
        for (int y = 0; y < height; ++y)
            std::fill_n(frame->data[0] + y * frame->linesize[0], width, TestVideoLevel(n));
        for (int plane = 1; plane < 3; ++plane)
            for (int y = 0; y < height / 2; ++y)
                std::fill_n(frame->data[plane] + y * frame->linesize[plane], width / 2, 128);
        frame->pts = n;
        frame->pict_type = (n % gop == 0) ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        avcodec_send_frame(encoder.get(), frame.get());
        drain();
    }
    avcodec_send_frame(encoder.get(), nullptr);
    drain();
    std::fclose(file);
    return video;
}

}  // namespace kx::test
