#pragma once
// The MP4 writer of the camera's layout: sample-table builder (MP4MBOX_NODE), file header,
// samples with their 16-byte sample records, the moov, and the export of a time range.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "containers/Mp4File.h"

namespace kx {

class MediaFile;

// Initial capacities of the tables (a three-minute recording at 30 fps and its sound); the
// tables grow past them when a track holds more samples.
inline constexpr std::uint32_t kVideoNodeCapacity = 5460;
inline constexpr std::uint32_t kAudioNodeCapacity = 2912;
inline constexpr std::size_t kSampleRecordSize = 16;
inline constexpr std::uint16_t kSampleRecordVideo = 1;
inline constexpr std::uint16_t kSampleRecordAudio = 2;
// Delta of the last sample when a track has only one.
inline constexpr std::uint32_t kSingleVideoDelta = 33;
inline constexpr std::uint32_t kSingleAudioDelta = 128;

// The sample tables of one output track, as big-endian bytes ready for the file.
struct MP4MBOX_NODE {
    std::string stts;  // closed runs: (sample_count, sample_delta)
    std::uint32_t sttsEntries = 0;
    std::uint32_t runCount = 0;  // samples in the open run (their deltas are known)
    std::uint32_t runDelta = 0;
    std::string stsz;
    std::uint32_t constantSampleSize = 0;
    std::string stsc;
    std::uint32_t stscEntries = 0;
    std::uint32_t chunkNumber = 0;  // 0 = no chunk yet
    std::uint32_t samplesInChunk = 0;
    std::string stco;
    std::uint32_t stcoEntries = 0;
    std::string stss;
    std::uint32_t stssEntries = 0;
    bool withSyncTable = false;
    std::uint64_t endOfPrevious = 0;
    std::uint32_t samplesAdded = 0;
    std::uint32_t firstSampleTime = 0;
    std::uint32_t lastSampleTime = 0;
};

// Reserves room for capacity samples; false (traced) when the memory is not there.
bool CreateFixedSizeTrak(MP4MBOX_NODE& node, std::uint32_t capacity, bool withSyncTable);
void ReleaseNode(MP4MBOX_NODE& node);
// Appends one sample; offset is relative to the movie's start. False when an offset or the
// table sizes would leave the 32-bit range of the format.
bool AddSample(MP4MBOX_NODE& node, std::uint32_t time, std::uint32_t size, std::uint64_t offset,
               bool key, bool isVideo);

// Seconds since 1904 for the creation and modification times; tests pass a fixed value.
using MovieClock = std::uint64_t (*)();
std::uint64_t SystemMovieClock();

// Builds the moov from the nodes. The kvrh summary of description gives the codecs, sizes and
// configuration strings; avcConfig, when given, is the avcC/hvcC payload to write as it
// stands. Updates description's mvhd. Empty when the video configuration cannot be built.
std::string BuildMoov(const MP4MBOX_NODE& video, const MP4MBOX_NODE* audio, MP4FILE& description,
                      std::optional<std::string_view> avcConfig, std::uint64_t now);

// Buffered sequential output at absolute positions of a file; offsets for the tables are
// relative to movieStart.
class Mp4Output {
  public:
    Mp4Output(MediaFile& file, std::uint64_t movieStart)
        : file_(file), movieStart_(movieStart), position_(movieStart) {}
    ~Mp4Output() { Flush(); }
    bool Write(std::string_view bytes);
    bool Flush();
    bool ok() const { return ok_; }
    std::uint64_t position() const { return position_; }
    std::uint64_t movieOffset() const { return position_ - movieStart_; }
    std::uint64_t movieStart() const { return movieStart_; }
    MediaFile& file() { return file_; }

  private:
    MediaFile& file_;
    std::uint64_t movieStart_;
    std::uint64_t position_;
    std::string buffer_;
    bool ok_ = true;
};

// What a recorder adds to the header: further boxes inside free (sensor data) and room
// reserved for the moov in front of the mdat (a moov holding only a junk child).
struct FileHeaderExtras {
    std::string freeBoxes;
    std::uint32_t moovReserve = 0;  // total bytes of the reserved moov, 0 = none
    std::uint32_t mdatSize = 0;     // the mdat header's size field
};

// ftyp, free (cprt, sttm, kvnm, kvrh) and an mdat header of size 0. Sets description.mdat
// to the new mdat's payload position (absolute).
bool WriteFileHeader(Mp4Output& out, MP4FILE& description, const MP4FILE& source,
                     std::uint64_t startTime, bool withSound,
                     const FileHeaderExtras* extras = nullptr);

// The 16-byte record that precedes each sample in files of the earlier layout.
std::string SampleRecord(std::uint16_t type, std::uint16_t key, std::uint32_t time,
                         std::uint32_t size);

// Writes one video sample (with its sample record unless newFormat) and adds it to the node.
bool WriteVideoSample(Mp4Output& out, MP4MBOX_NODE& node, std::uint32_t codecId, int nalLengthSize,
                      std::uint32_t time, bool key, std::string_view data, bool newFormat);

// Writes the moov at the output's position and patches the mdat size; 1 on success.
int WriteMoov(const MP4MBOX_NODE& video, const MP4MBOX_NODE* audio, MP4FILE& description,
              Mp4Output& out, std::optional<std::string_view> avcConfig, MovieClock clock);

// Copies [start, end] seconds of the movie described by source (at baseOffset in the file)
// into outPath: created when baseOffset is 0, else the movie is appended to it. 1 on success.
int ExportMP4(MediaFile& sourceFile, int startSecond, const std::filesystem::path& outPath,
              MP4FILE& source, int endSecond, bool withSound, std::uint64_t baseOffset,
              MovieClock clock = SystemMovieClock);

// Key-frame tests of the export, by codec id.
bool IsKeyFrame(std::uint32_t codecId, std::string_view sample);

}  // namespace kx
