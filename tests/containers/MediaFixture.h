#pragma once
// Encoded demo media for the writer and repair tests, and the peer tools that check files.
#include <filesystem>
#include <string>

#include "containers/demo/DemoEncoder.h"
#include "containers/demo/DemoRecording.h"

namespace kx::test {

// A small H.264 (or HEVC) pattern: 64x48, 30 fps, a key frame every 30 frames; cached.
const demo::EncodedVideo& SmallVideo(bool hevc = false, int frames = 90);
// A mono AAC tone at 16 kHz of three seconds; cached.
const demo::EncodedAudio& SmallAudio();

// Writes a recording of the small media with the given spec changes.
void WriteSmallRecording(const std::filesystem::path& path, demo::RecordingSpec spec);

bool PeersInstalled();
// Frames (or audio frames) ffprobe counts by decoding stream "v:0" or "a:0".
int PeerFrameCount(const std::filesystem::path& path, const std::string& stream);
// Packets ffprobe reads from stream "v:0" or "a:0" (FFmpeg's AAC decoder gives one frame
// fewer than it reads packets, so sound is counted by packets).
int PeerPacketCount(const std::filesystem::path& path, const std::string& stream);
// ffmpeg's error output when it decodes every stream of the file (empty when clean).
std::string PeerDecodeErrors(const std::filesystem::path& path);

}  // namespace kx::test
