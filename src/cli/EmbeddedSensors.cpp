#include "cli/EmbeddedSensors.h"

#include <algorithm>

#include "containers/AviReader.h"
#include "containers/MediaFile.h"
#include "containers/Mp4File.h"
#include "platform/AtomicFile.h"
#include "player/AviSource.h"
#include "player/FrameRate.h"
#include "sensors/SensorFile.h"

namespace kx::cli {
namespace {

constexpr std::size_t kEndMarkerLength = 10;

// Releases both parse slots however the reading ends.
struct Mp4Slots {
    MP4FILE files[2]{};
    ~Mp4Slots() {
        ReleaseMP4(files[0]);
        ReleaseMP4(files[1]);
    }
};

bool EndMarkerAt(const std::uint8_t* buffer, std::size_t capacity, std::size_t at) {
    if (!buffer || at > capacity || capacity - at < kEndMarkerLength) return false;
    return std::all_of(buffer + at, buffer + at + kEndMarkerLength,
                       [](std::uint8_t b) { return b == 0xFF; });
}

std::optional<SensorSource> ReadMp4Sensors(const std::filesystem::path& path,
                                           EmbeddedSensorStorage& storage, std::string& error) {
    auto file = DiskFile::Open(path, DiskFile::Mode::kRead);
    if (!file) {
        error = "cannot open " + path.string();
        return std::nullopt;
    }
    storage.gpsBox.assign(kRawGpsBufferSize, 0);
    storage.accelBox.assign(kAccelBufferSize, 0);
    Mp4Slots slots;
    MP4FILE& mp4 = slots.files[0];
    mp4.gpsLength = -1;
    mp4.accLength = -1;
    mp4.gpsBuffer = storage.gpsBox.data();
    mp4.gpsCapacity = storage.gpsBox.size();
    // The reader moves the acceleration data behind a "gps " text into the GPS buffer; without
    // such a text (the later layout, or a parking recording) it needs its own room.
    mp4.accBuffer = storage.accelBox.data();
    mp4.accCapacity = storage.accelBox.size();
    ParseMP4(*file, slots.files, false);

    SensorSource source;
    source.startMs = mp4.sttm.startTime;
    if (mp4.gpsLength >= 0) {
        ByteSpan gps(storage.gpsBox.data(), static_cast<std::size_t>(mp4.gpsLength));
        if (mp4.newFormat)
            source.gpsRecords = gps;
        else
            source.gpsText = gps;
    }
    if (mp4.accLength >= 0) {
        // accLength belongs to the buffer the "3gf " box was copied into: the one the reader
        // points at last, unless a "gps " box came after the "3gf " box and moved the pointer.
        auto at = static_cast<std::size_t>(mp4.accLength);
        const std::uint8_t* records = nullptr;
        if (EndMarkerAt(mp4.accBuffer, mp4.accCapacity, at))
            records = mp4.accBuffer;
        else if (EndMarkerAt(storage.accelBox.data(), storage.accelBox.size(), at))
            records = storage.accelBox.data();
        if (records) source.accelRecords = ByteSpan(records, at);
    }
    return source;
}

std::optional<SensorSource> ReadAviSensors(const std::filesystem::path& path,
                                           EmbeddedSensorStorage& storage, std::string& error) {
    UniqueFile file = OpenFile(path, "rb");
    if (!file) {
        error = "cannot open " + path.string();
        return std::nullopt;
    }
    AVIFILEINFO info{};
    AviHeaderResult headers = ReadAviHeaders(file.get(), info);
    if (headers == AviHeaderResult::kFailed) {
        error = path.string() + " is not a readable AVI recording";
        return std::nullopt;
    }
    if (headers == AviHeaderResult::kIndexMissing) {
        error = path.string() + " has no index (recording cut short); \"kxcard info\" repairs it";
        return std::nullopt;
    }

    // The streams as the player takes them: the first video stream is the front; text streams
    // named "GPSR" and "SENS" carry the GPS sentences and the G-sensor samples.
    int frontStream = -1, gpsStream = -1, sensorStream = -1;
    int streams = std::min<int>(info.streamCount, static_cast<int>(kAviMaxStreams));
    for (int stream = 0; stream < streams; ++stream) {
        const AviStreamHeader& header = info.streamHeaders[static_cast<std::size_t>(stream)];
        if (IsFourCC(header.fccType, "vids")) {
            if (frontStream < 0) frontStream = stream;
        } else if (IsFourCC(header.fccType, "auds")) {
            continue;
        } else if (IsFourCC(header.fccHandler, "GPSR")) {
            gpsStream = stream;
        } else if (IsFourCC(header.fccHandler, "SENS")) {
            sensorStream = stream;
        }
    }

    SensorSource source;
    source.avi = true;
    if (frontStream >= 0) {
        const AviStreamHeader& front = info.streamHeaders[static_cast<std::size_t>(frontStream)];
        source.frameRate = AviFrameRate(front.rate, front.scale);
    }
    std::int64_t length = FileLength(file.get());
    std::vector<bool> isGps;
    for (const AviIndexEntry& entry : info.index) {
        int stream = entry.chunkId[0] == '0' && entry.chunkId[1] >= '0' && entry.chunkId[1] <= '9'
                         ? entry.chunkId[1] - '0'
                         : -1;
        if (stream < 0 || (stream != gpsStream && stream != sensorStream)) continue;
        std::int64_t data = info.moviPosition + std::int64_t{entry.offset} + 4;
        std::size_t size = std::min<std::size_t>(entry.size, kAviSensorChunkCapacity);
        // A chunk that lies outside the file is skipped like a failed read.
        if (data < 0 || length < 0 || data > length ||
            static_cast<std::int64_t>(size) > length - data)
            continue;
        std::vector<std::uint8_t> chunk(size);
        if (size > 0 && !ReadAt(file.get(), data, chunk.data(), size)) continue;
        storage.aviChunks.push_back(std::move(chunk));
        isGps.push_back(stream == gpsStream);
    }
    for (std::size_t i = 0; i < storage.aviChunks.size(); ++i) {
        ByteSpan chunk(storage.aviChunks[i]);
        (isGps[i] ? source.gpsChunks : source.accelChunks).push_back(chunk);
    }
    return source;
}

}  // namespace

std::optional<SensorSource> ReadEmbeddedSensors(const std::filesystem::path& recording, bool avi,
                                                EmbeddedSensorStorage& storage,
                                                std::string& error) {
    storage = EmbeddedSensorStorage{};
    return avi ? ReadAviSensors(recording, storage, error)
               : ReadMp4Sensors(recording, storage, error);
}

}  // namespace kx::cli
