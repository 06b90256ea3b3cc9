#include "MediaFixture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <map>

#include "support/RunProcess.h"

namespace kx::test {

const demo::EncodedVideo& SmallVideo(bool hevc, int frames) {
    static std::map<std::pair<bool, int>, demo::EncodedVideo> cache;
    auto key = std::make_pair(hevc, frames);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    demo::PatternSpec spec;
    spec.width = 64;
    spec.height = 48;
    spec.frames = frames;
    spec.hevc = hevc;
    spec.label = "FRONT";
    spec.startTime = 1555083010;
    std::string error;
    auto video = demo::EncodePattern(spec, error);
    EXPECT_TRUE(video) << error;
    return cache[key] = video ? std::move(*video) : demo::EncodedVideo{};
}

const demo::EncodedAudio& SmallAudio() {
    static demo::EncodedAudio audio = [] {
        std::string error;
        auto encoded = demo::EncodeTone(16000, 3.0, error);
        EXPECT_TRUE(encoded) << error;
        return encoded ? std::move(*encoded) : demo::EncodedAudio{};
    }();
    return audio;
}

void WriteSmallRecording(const std::filesystem::path& path, demo::RecordingSpec spec) {
    if (!spec.video) spec.video = &SmallVideo();
    std::string error;
    ASSERT_TRUE(demo::WriteRecording(path, spec, error)) << error;
}

bool PeersInstalled() {
    return access("/usr/bin/ffprobe", X_OK) == 0 && access("/usr/bin/ffmpeg", X_OK) == 0;
}

int PeerFrameCount(const std::filesystem::path& path, const std::string& stream) {
    auto result = RunProcess("/usr/bin/ffprobe", {"-v", "error", "-count_frames", "-select_streams",
                                                  stream, "-show_entries", "stream=nb_read_frames",
                                                  "-of", "csv=p=0", path.string()});
    if (result.exitCode != 0 || !result.err.empty()) return -1;
    return std::atoi(result.out.c_str());
}

int PeerPacketCount(const std::filesystem::path& path, const std::string& stream) {
    auto result =
        RunProcess("/usr/bin/ffprobe",
                   {"-v", "error", "-count_packets", "-select_streams", stream, "-show_entries",
                    "stream=nb_read_packets", "-of", "csv=p=0", path.string()});
    if (result.exitCode != 0 || !result.err.empty()) return -1;
    return std::atoi(result.out.c_str());
}

std::string PeerDecodeErrors(const std::filesystem::path& path) {
    auto result = RunProcess("/usr/bin/ffmpeg", {"-nostdin", "-v", "error", "-i", path.string(),
                                                 "-map", "0", "-f", "null", "-"});
    if (result.exitCode != 0 && result.err.empty())
        return "exit status " + std::to_string(result.exitCode);
    return result.err;
}

}  // namespace kx::test
