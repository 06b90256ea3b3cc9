#pragma once
// Small AVI files built byte by byte for the AVI tests: streams, chunks in a chosen order, with
// or without padding after odd-sized chunks, with or without idx1, with chosen header sizes.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "containers/AviFormat.h"

namespace kx::test {

struct TestChunk {
    std::string id;  // "00dc", "02wb", ...
    std::string data;
};

struct TestStream {
    std::string type;     // "vids", "auds", "txts"
    std::string handler;  // "H264", "GPSR", ...
    std::uint32_t scale = 1;
    std::uint32_t rate = 10;
    std::uint32_t sampleSize = 0;
    std::string format;  // strf payload (empty: no strf)
};

struct TestAvi {
    std::uint32_t microSecPerFrame = 100000;  // 10 frames per second
    std::uint32_t totalFrames = 0;
    std::vector<TestStream> streams;
    std::vector<TestChunk> chunks;
    bool padOddChunks = false;  // the RIFF rule; the camera writes no pad byte
    bool withIndex = true;
    std::optional<std::uint32_t> riffSize;  // header values other than the true ones
    std::optional<std::uint32_t> moviSize;
    std::size_t cutBytes = 0;  // bytes removed from the end

    // The file's bytes; entries receives the index entries a correct index holds.
    std::string Build(std::vector<AviIndexEntry>* entries = nullptr) const;
};

// H.264-like chunk data: a start code, then a key frame's SPS (0x67) or a slice (0x41).
std::string VideoData(bool key, std::size_t size);
// The bitmap header and wave format of the test streams.
std::string BitmapFormat(int width, int height);
std::string PcmFormat(int rate);
// Two video streams (10 fps), PCM sound and a GPS text stream; frames frames, a key frame every
// keyEvery, one sound chunk per frame, a GPS chunk every 10 frames. Odd sizes on purpose.
TestAvi TwoCameraAvi(int frames, int keyEvery = 10);

// The full path of a peer tool (ffprobe, ffmpeg) found on PATH, for RunProcess.
std::string PeerTool(const std::string& name);

}  // namespace kx::test
