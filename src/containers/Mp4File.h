#pragma once
// The description of one parsed MP4 movie of the camera's layout. Every known box is held as
// {size, payload position}; 0 means absent. Sample tables stay in the file and are read entry by
// entry (SampleCursor.h).
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

class MediaFile;

// Codec ids of the kvvi/kvso summaries, shared by the writer and the decoder.
enum CodecId : std::uint32_t {
    kCodecNone = 0,
    kCodecMp4v = 1,
    kCodecS263 = 2,
    kCodecAvc1 = 3,
    kCodecHvc1 = 119,
    kCodecMp4a = 101,
    kCodecSamr = 102,
    kCodecSevc = 104,
    kCodecSqcp = 105,
    kCodecUlaw = 118,
};
std::uint32_t CodecIdFromFourCC(std::uint32_t fourcc);
// The four-character code of a codec id; 0 for an unknown id.
std::uint32_t FourCCFromCodecId(std::uint32_t codecId);

struct BoxPair {
    std::uint32_t size = 0;
    std::uint32_t pos = 0;  // file offset just past the 8-byte header
};

struct FtypBox {
    BoxPair box;
    std::uint32_t majorBrand = 0;
    std::uint32_t minorVersion = 0;
};

struct MvhdRecord {
    BoxPair box;
    std::uint8_t version = 0;
    std::uint32_t flags = 0;
    std::uint64_t creationTime = 0;
    std::uint64_t modificationTime = 0;
    std::uint32_t timescale = 0;
    std::uint64_t duration = 0;
    std::uint32_t nextTrackId = 0;
};

struct TkhdRecord {
    BoxPair box;
    std::uint8_t version = 0;
    std::uint32_t flags = 0;
    std::uint64_t creationTime = 0;
    std::uint64_t modificationTime = 0;
    std::uint32_t trackId = 0;
    std::uint64_t duration = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
};

struct ELSTEntry {
    std::uint64_t segmentDuration = 0;
    std::int64_t mediaTime = 0;
    std::int16_t mediaRateInteger = 0;
    std::int16_t mediaRateFraction = 0;
};

struct ElstRecord {
    BoxPair box;
    std::uint8_t version = 0;
    std::uint32_t flags = 0;
    std::uint32_t entryCount = 0;
    std::vector<ELSTEntry> entries;
};

struct EdtsRecord {
    BoxPair box;
    ElstRecord elst;
};

struct MdhdRecord {
    BoxPair box;
    std::uint8_t version = 0;
    std::uint32_t flags = 0;
    std::uint64_t creationTime = 0;
    std::uint64_t modificationTime = 0;
    std::uint32_t timescale = 0;
    std::uint64_t duration = 0;
    std::uint16_t language = 0;
};

struct HdlrRecord {
    BoxPair box;
    std::uint8_t version = 0;
    std::uint32_t flags = 0;
    std::uint32_t handlerType = 0;
};

struct MinfRecord {
    BoxPair box;
    std::uint32_t mediaHeaderType = 0;  // vmhd, smhd, hmhd or nmhd
    BoxPair dinf;
};

// stts, stsc, stco, stss: the head of a table whose entries stay in the file.
struct TableHead {
    BoxPair box;
    std::uint8_t version = 0;
    std::uint32_t flags = 0;
    std::uint32_t entryCount = 0;
};

struct StszRecord {
    BoxPair box;
    std::uint8_t version = 0;
    std::uint32_t flags = 0;
    std::uint32_t sampleSize = 0;
    std::uint32_t sampleCount = 0;
};

// avcC or hvcC. pParameterSetNALUnit holds the child's payload followed by the 8 bytes after
// the child; its length is the child's size field (what the decoder receives).
struct AvcConfigRecord {
    BoxPair box;
    std::vector<std::uint8_t> pParameterSetNALUnit;
    std::uint8_t configurationVersion = 0;
    std::uint8_t profileIndication = 0;
    std::uint8_t profileCompatibility = 0;
    std::uint8_t levelIndication = 0;
    std::uint8_t lengthSizeMinusOne = 0;
};

struct BtrtRecord {
    BoxPair box;
    std::uint32_t bufferSizeDB = 0;
    std::uint32_t maxBitrate = 0;
    std::uint32_t avgBitrate = 0;
};

// From esds (ISO/IEC 14496-1 ES_Descriptor and DecoderConfigDescriptor).
struct DecoderConfigRecord {
    BoxPair box;
    std::uint8_t version = 0;
    std::uint32_t flags = 0;
    std::uint8_t esDescriptorTag = 0;
    std::uint16_t esId = 0;
    std::uint8_t streamDependenceFlag = 0;
    std::uint8_t urlFlag = 0;
    std::uint8_t ocrStreamFlag = 0;
    std::uint8_t streamPriority = 0;
    std::uint16_t dependsOnEsId = 0;
    std::uint16_t ocrEsId = 0;
    std::uint8_t decoderConfigDescriptorTag = 0;
    std::uint8_t objectTypeIndication = 0;
    std::uint8_t streamType = 0;
    std::uint8_t upStream = 0;
    std::uint32_t bufferSizeDB = 0;
    std::uint32_t maxBitrate = 0;
    std::uint32_t avgBitrate = 0;
};

// damr (AMR), devc (EVRC) and dqcp (QCELP) decoder boxes.
struct SpeechConfigRecord {
    BoxPair box;
    std::uint32_t vendor = 0;
    std::uint8_t decoderVersion = 0;
    std::uint16_t modeSet = 0;          // damr only
    std::uint8_t modeChangePeriod = 0;  // damr only
    std::uint8_t framesPerSample = 0;
};

struct SampleEntryRecord {
    std::uint32_t size = 0;
    std::uint32_t pos = 0;  // entry start (its size field)
    std::uint32_t format = 0;
    std::uint16_t dataReferenceIndex = 0;
    BoxPair children;
    // visual formats
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    AvcConfigRecord config;
    BtrtRecord btrt;
    // mp4v and mp4a
    DecoderConfigRecord esds;
    // audio formats
    std::uint16_t channelCount = 0;
    std::uint16_t sampleSize = 0;
    std::uint16_t sampleRate = 0;
    SpeechConfigRecord speech;
};

struct StsdRecord {
    BoxPair box;
    std::uint8_t version = 0;
    std::uint32_t flags = 0;
    std::uint32_t entryCount = 0;
    std::vector<SampleEntryRecord> PSampleEntry;
};

struct TRAKBOX {
    BoxPair trak;
    TkhdRecord tkhd;
    BoxPair tref;
    EdtsRecord edts;
    BoxPair mdia;
    MdhdRecord mdhd;
    HdlrRecord hdlr;
    MinfRecord minf;
    BoxPair stbl;
    StsdRecord stsd;
    TableHead stts;
    TableHead stsc;
    StszRecord stsz;
    TableHead stco;
    TableHead stss;
};

inline constexpr int kMaxTracks = 4;

struct MOOVBOX {
    BoxPair moov;
    BoxPair junk;
    MvhdRecord mvhd;
    std::array<std::unique_ptr<TRAKBOX>, kMaxTracks> trak;
};

struct ConfigParam {
    std::string szConfigStr;  // its size() is the stored size
};

struct KvviRecord {
    BoxPair box;
    std::uint16_t trackId = 0;
    std::uint32_t codecId = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint16_t nConfigNum = 0;
    std::vector<ConfigParam> configs;
};

struct KvsoRecord {
    BoxPair box;
    std::uint16_t trackId = 0;
    std::uint32_t codecId = 0;
    std::uint16_t channelCount = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint32_t sampleRate = 0;
    std::uint16_t nConfigNum = 0;
    std::vector<ConfigParam> configs;
};

struct KvrcRecord {
    BoxPair box;
    KvviRecord kvvi;
    KvsoRecord kvso;
    BoxPair kvme;
};

struct KvrhRecord {
    BoxPair box;
    KvviRecord kvvi;
    KvsoRecord kvso;
};

inline constexpr std::size_t kCprtTextCapacity = 256;
inline constexpr std::size_t kKvnmNameCapacity = 64;

struct CprtRecord {
    BoxPair box;
    char text[kCprtTextCapacity] = {};
};

struct SttmRecord {
    BoxPair box;
    std::uint64_t startTime = 0;  // ms
};

struct KvnmRecord {
    BoxPair box;
    std::uint8_t version = 0;
    char name[kKvnmNameCapacity] = {};
};

// One parsed movie. Value-initialise (MP4FILE file{}), preset gpsLength/accLength to -1 and set
// the sensor buffers (with their capacities) when embedded sensor data is wanted.
struct MP4FILE {
    FtypBox ftyp;
    MOOVBOX moov;
    BoxPair mdat;
    SttmRecord sttm;
    KvrcRecord kvrc;
    KvrhRecord kvrh;
    CprtRecord cprt;
    KvnmRecord kvnm;
    std::int32_t gpsLength = 0;
    std::int32_t accLength = 0;
    std::int32_t newFormat = 0;
    // Caller-owned; a box larger than the room given is cut to it.
    std::uint8_t* gpsBuffer = nullptr;
    std::size_t gpsCapacity = 0;
    std::uint8_t* accBuffer = nullptr;
    std::size_t accCapacity = 0;
};

// Parses, tests and (when needed and allowed) repairs the file; 1 when it is playable. files
// is an array of two records: the second receives duplicate top-level boxes when
// allowDuplicates is set.
int ValidMP4(const std::filesystem::path& path, MP4FILE files[2], bool allowDuplicates);

// The walk alone, over any source, without a verdict and without touching the file: the result
// of the moov parse (1 when no moov failed). Used by ValidMP4, the repair and fuzz targets.
int ParseMP4(MediaFile& file, MP4FILE files[2], bool allowDuplicates);

// Parses bytes in memory with no side effects (for fuzzing): walks them into files, returns
// IsMP4Playable of the first record. The caller releases both records.
int ParseMP4Bytes(std::string_view bytes, MP4FILE files[2], bool allowDuplicates);

bool IsMP4Playable(const MP4FILE& file);
int GetDurationSeconds(const MP4FILE& file);
void ReleaseMP4(MP4FILE& file);

// Handler and format sets of playable tracks.
bool IsPlayableAudioFormat(std::uint32_t format);
bool IsPlayableVideoFormat(std::uint32_t format);
// A track whose tables are all present and which has a playable entry for its handler.
bool TrackQualifies(const TRAKBOX& track);

}  // namespace kx
