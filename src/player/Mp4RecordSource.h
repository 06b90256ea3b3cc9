#pragma once
// MP4 recordings of the camera's earlier layout: every sample in the media data follows a
// 16-byte record (type, key flag, time, size, gap), so the player indexes the file by walking
// the records, while the recording is still being read. The rear camera's file is walked in
// the same loop.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "player/IndexSource.h"

namespace kx {

struct MP4FILE;

// Where a recording's records lie and what its channels need, taken from the parsed movie.
struct Mp4Layout {
    std::uint32_t mediaStart = 0;  // first record
    std::uint32_t mediaEnd = 0;    // end of the media data
    std::uint16_t videoTrack = 0;  // record type of video samples
    int codecId = 0;
    int width = 0;
    int height = 0;
    int frameRate = 10;
    std::vector<std::uint8_t> videoConfig;  // decoder configuration bytes
    bool hasAudio = false;
    int audioCodecId = 0;
    int channels = 0;
    int sampleRate = 0;
    std::vector<std::uint8_t> audioConfig;
};

// The layout of a parsed movie; false when it has no camera video header or no such track.
bool Mp4LayoutOf(const MP4FILE& movie, Mp4Layout& layout);
// Opens a recording (repairing a damaged file as the reader does on every open): 1 earlier
// layout, its layout filled in; 2 later layout (or a playable MP4 without the camera's headers,
// which FFmpeg can still demultiplex); 0 not playable.
int Mp4Kind(const std::filesystem::path& path, Mp4Layout& layout);

class Mp4RecordSource : public IndexSource {
  public:
    // rear may be empty (no rear camera wanted); frontLayout is the front file's layout as the
    // caller already read it (MakeIndexSource), so the file is not parsed twice.
    Mp4RecordSource(std::filesystem::path front, std::filesystem::path rear, Mp4Layout frontLayout);

    bool Prepare(SyncPlayer& player) override;
    void Walk(SyncPlayer& player) override;

  private:
    std::filesystem::path frontPath_, rearPath_;
    Mp4Layout front_, rear_;
};

}  // namespace kx
