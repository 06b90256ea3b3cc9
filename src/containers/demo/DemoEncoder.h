#pragma once
// Encodes the pictures and sound of demo recordings with libavcodec: a moving test pattern with
// the camera and the time drawn in (H.264 or HEVC), and a mono AAC tone.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kx::demo {

struct EncodedVideo {
    bool hevc = false;
    int width = 0, height = 0;
    std::vector<std::string> parameterSets;  // SPS, PPS (HEVC: VPS, SPS, PPS), no start codes
    std::vector<std::string> samples;        // NAL units with 4-byte lengths, IDR first in keys
    std::vector<bool> keys;
    std::vector<std::uint32_t> timesMs;
};

struct EncodedAudio {
    int sampleRate = 0;
    int channels = 1;
    std::string audioSpecificConfig;
    std::vector<std::string> frames;
    std::vector<std::uint32_t> timesMs;
};

struct PatternSpec {
    int width = 640, height = 360;
    int fps = 30;
    int frames = 300;
    int keyInterval = 30;
    bool hevc = false;
    std::string label;           // drawn in the top-left corner, e.g. "FRONT"
    std::int64_t startTime = 0;  // seconds since 1970 (UTC), drawn as the time of each frame
};

std::optional<EncodedVideo> EncodePattern(const PatternSpec& spec, std::string& error);
// A mono AAC tone of the given length (a short beep once a second).
std::optional<EncodedAudio> EncodeTone(int sampleRate, double seconds, std::string& error);

// Splits Annex-B bytes into NAL units (start codes removed).
std::vector<std::string> SplitAnnexB(const std::uint8_t* data, std::size_t size);

}  // namespace kx::demo
