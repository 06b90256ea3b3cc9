#include "containers/demo/DemoEncoder.h"

#include <cmath>
#include <cstring>
#include <ctime>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

namespace kx::demo {
namespace {

struct CodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// A 3x5 pixel font for the characters of the overlay.
const char* Glyph(char c) {
    switch (c) {
        case '0':
            return "111101101101111";
        case '1':
            return "010110010010111";
        case '2':
            return "111001111100111";
        case '3':
            return "111001111001111";
        case '4':
            return "101101111001001";
        case '5':
            return "111100111001111";
        case '6':
            return "111100111101111";
        case '7':
            return "111001001001001";
        case '8':
            return "111101111101111";
        case '9':
            return "111101111001111";
        case ':':
            return "000010000010000";
        case '-':
            return "000000111000000";
        case 'A':
            return "010101111101101";
        case 'E':
            return "111100111100111";
        case 'F':
            return "111100111100100";
        case 'N':
            return "101111111111101";
        case 'O':
            return "111101101101111";
        case 'R':
            return "110101110101101";
        case 'T':
            return "111010010010010";
        default:
            return "000000000000000";
    }
}

void DrawText(AVFrame* frame, int x, int y, int scale, const std::string& text) {
    for (char c : text) {
        const char* glyph = Glyph(c);
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 3; ++col) {
                std::uint8_t value = glyph[row * 3 + col] == '1' ? 235 : 16;
                for (int dy = 0; dy < scale; ++dy)
                    for (int dx = 0; dx < scale; ++dx) {
                        int px = x + col * scale + dx, py = y + row * scale + dy;
                        if (px < frame->width && py < frame->height)
                            frame->data[0][py * frame->linesize[0] + px] = value;
                    }
            }
        x += 4 * scale;
    }
}

void DrawPattern(AVFrame* frame, int index, const PatternSpec& spec) {
    const int w = frame->width, h = frame->height;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            frame->data[0][y * frame->linesize[0] + x] =
                std::uint8_t(16 + ((x + index * 4) * 219 / std::max(w, 1)) % 220);
    for (int y = 0; y < h / 2; ++y)
        for (int x = 0; x < w / 2; ++x) {
            int bar = (x * 2 * 8 / std::max(w, 1) + index / 15) % 8;
            frame->data[1][y * frame->linesize[1] + x] = std::uint8_t(64 + bar * 16);
            frame->data[2][y * frame->linesize[2] + x] = std::uint8_t(192 - bar * 16);
        }
    // A square that travels across the picture.
    int size = std::max(h / 6, 4);
    int bx = (index * 6) % std::max(w - size, 1), by = h / 2 - size / 2;
    for (int y = by; y < by + size && y < h; ++y)
        for (int x = bx; x < bx + size && x < w; ++x)
            frame->data[0][y * frame->linesize[0] + x] = 235;
    std::time_t now = std::time_t(spec.startTime + index / std::max(spec.fps, 1));
    std::tm utc{};
    gmtime_r(&now, &utc);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    int scale = std::max(h / 120, 1);
    DrawText(frame, 4 * scale, 4 * scale, scale, spec.label);
    DrawText(frame, 4 * scale, h - 10 * scale, scale, stamp);
}

int NalType(const std::string& nal, bool hevc) {
    if (nal.empty()) return -1;
    std::uint8_t b = std::uint8_t(nal[0]);
    return hevc ? (b >> 1) & 0x3F : b & 0x1F;
}

bool IsVclNal(int type, bool hevc) {
    return hevc ? type >= 0 && type < 32 : type >= 1 && type <= 5;
}

std::string LengthPrefixed(const std::vector<std::string>& nals) {
    std::string out;
    for (const std::string& nal : nals) {
        std::uint32_t n = std::uint32_t(nal.size());
        char length[4] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
        out.append(length, 4);
        out += nal;
    }
    return out;
}

}  // namespace

std::vector<std::string> SplitAnnexB(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> nals;
    std::size_t i = 0, start = std::string::npos;
    while (i + 3 <= size) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            if (start != std::string::npos) {
                std::size_t end = i;
                while (end > start && data[end - 1] == 0) --end;
                nals.emplace_back(reinterpret_cast<const char*>(data + start), end - start);
            }
            i += 3;
            start = i;
        } else {
            ++i;
        }
    }
    if (start != std::string::npos && start < size)
        nals.emplace_back(reinterpret_cast<const char*>(data + start), size - start);
    return nals;
}

std::optional<EncodedVideo> EncodePattern(const PatternSpec& spec, std::string& error) {
    const char* name = spec.hevc ? "libx265" : "libx264";
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (!codec) {
        error = std::string(name) + " is not available";
        return std::nullopt;
    }
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context) {
        error = "out of memory";
        return std::nullopt;
    }
    context->width = spec.width;
    context->height = spec.height;
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->time_base = AVRational{1, spec.fps};
    context->framerate = AVRational{spec.fps, 1};
    context->gop_size = spec.keyInterval;
    context->max_b_frames = 0;
    context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    context->thread_count = 2;
    av_opt_set(context->priv_data, "preset", "ultrafast", 0);
    // No B-frames (the camera's layout has no composition offsets) and closed GOPs, so every
    // key frame is an IDR picture.
    if (spec.hevc) {
        std::string params =
            "bframes=0:open-gop=0:log-level=error:keyint=" + std::to_string(spec.keyInterval) +
            ":min-keyint=" + std::to_string(spec.keyInterval);
        av_opt_set(context->priv_data, "x265-params", params.c_str(), 0);
    } else {
        av_opt_set(context->priv_data, "x264-params", "bframes=0:scenecut=0", 0);
    }
    int rc = avcodec_open2(context.get(), codec, nullptr);
    if (rc < 0) {
        error = std::string("cannot open ") + name + ": " + AvError(rc);
        return std::nullopt;
    }
    EncodedVideo video;
    video.hevc = spec.hevc;
    video.width = spec.width;
    video.height = spec.height;
    for (std::string& nal : SplitAnnexB(context->extradata, std::size_t(context->extradata_size))) {
        int type = NalType(nal, spec.hevc);
        bool parameterSet = spec.hevc ? (type >= 32 && type <= 34) : (type == 7 || type == 8);
        if (parameterSet) video.parameterSets.push_back(std::move(nal));
    }
    if (video.parameterSets.size() < 2) {
        error = "the encoder gave no parameter sets";
        return std::nullopt;
    }

    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    if (!frame || !packet) {
        error = "out of memory";
        return std::nullopt;
    }
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = spec.width;
    frame->height = spec.height;
    if ((rc = av_frame_get_buffer(frame.get(), 0)) < 0) {
        error = AvError(rc);
        return std::nullopt;
    }
    auto drain = [&]() -> bool {
        while (true) {
            int r = avcodec_receive_packet(context.get(), packet.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
            if (r < 0) {
                error = AvError(r);
                return false;
            }
            std::vector<std::string> vcl;
            for (std::string& nal : SplitAnnexB(packet->data, std::size_t(packet->size)))
                if (IsVclNal(NalType(nal, spec.hevc), spec.hevc)) vcl.push_back(std::move(nal));
            bool key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            std::int64_t index = packet->pts;
            video.samples.push_back(LengthPrefixed(vcl));
            video.keys.push_back(key);
            video.timesMs.push_back(std::uint32_t(index * 1000 / spec.fps));
            av_packet_unref(packet.get());
        }
    };
    for (int i = 0; i < spec.frames; ++i) {
        if ((rc = av_frame_make_writable(frame.get())) < 0) {
            error = AvError(rc);
            return std::nullopt;
        }
        DrawPattern(frame.get(), i, spec);
        frame->pts = i;
        if ((rc = avcodec_send_frame(context.get(), frame.get())) < 0) {
            error = AvError(rc);
            return std::nullopt;
        }
        if (!drain()) return std::nullopt;
    }
    avcodec_send_frame(context.get(), nullptr);
    if (!drain()) return std::nullopt;
    return video;
}

std::optional<EncodedAudio> EncodeTone(int sampleRate, double seconds, std::string& error) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!codec) {
        error = "no AAC encoder";
        return std::nullopt;
    }
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context) {
        error = "out of memory";
        return std::nullopt;
    }
    context->sample_rate = sampleRate;
    context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    av_channel_layout_default(&context->ch_layout, 1);
    context->bit_rate = 32000;
    context->time_base = AVRational{1, sampleRate};
    context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int rc = avcodec_open2(context.get(), codec, nullptr);
    if (rc < 0) {
        error = "cannot open the AAC encoder: " + AvError(rc);
        return std::nullopt;
    }
    EncodedAudio audio;
    audio.sampleRate = sampleRate;
    audio.audioSpecificConfig.assign(reinterpret_cast<const char*>(context->extradata),
                                     std::size_t(context->extradata_size));
    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    if (!frame || !packet) {
        error = "out of memory";
        return std::nullopt;
    }
    frame->format = AV_SAMPLE_FMT_FLTP;
    frame->nb_samples = context->frame_size;
    frame->sample_rate = sampleRate;
    av_channel_layout_default(&frame->ch_layout, 1);
    if ((rc = av_frame_get_buffer(frame.get(), 0)) < 0) {
        error = AvError(rc);
        return std::nullopt;
    }
    auto drain = [&]() -> bool {
        while (true) {
            int r = avcodec_receive_packet(context.get(), packet.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
            if (r < 0) {
                error = AvError(r);
                return false;
            }
            audio.frames.emplace_back(reinterpret_cast<const char*>(packet->data),
                                      std::size_t(packet->size));
            // Packets follow each other one frame apart (the encoder's priming is not timed).
            std::int64_t start = std::int64_t(audio.timesMs.size()) * context->frame_size;
            audio.timesMs.push_back(std::uint32_t(start * 1000 / sampleRate));
            av_packet_unref(packet.get());
        }
    };
    const std::int64_t total = std::int64_t(seconds * sampleRate);
    for (std::int64_t at = 0; at < total; at += context->frame_size) {
        if ((rc = av_frame_make_writable(frame.get())) < 0) {
            error = AvError(rc);
            return std::nullopt;
        }
        auto* samples = reinterpret_cast<float*>(frame->data[0]);
        for (int i = 0; i < context->frame_size; ++i) {
            std::int64_t n = at + i;
            bool beep = (n % sampleRate) < sampleRate / 10;
            samples[i] =
                beep ? float(0.3 * std::sin(2 * M_PI * 880.0 * double(n) / sampleRate)) : 0.0f;
        }
        frame->pts = at;
        if ((rc = avcodec_send_frame(context.get(), frame.get())) < 0) {
            error = AvError(rc);
            return std::nullopt;
        }
        if (!drain()) return std::nullopt;
    }
    avcodec_send_frame(context.get(), nullptr);
    if (!drain()) return std::nullopt;
    return audio;
}

}  // namespace kx::demo
