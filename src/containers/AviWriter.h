#pragma once
// A small RIFF AVI writer: streams described by their stream header and format, samples written
// as chunks of the movi list (padded to even sizes as RIFF asks), and at the end the headers
// (hdrl), the movi list and the legacy index (idx1).
#include <cstdint>
#include <filesystem>
#include <vector>

#include "containers/AviFormat.h"
#include "platform/AtomicFile.h"

namespace kx {

inline constexpr std::size_t kAviWriterMaxStreams = 10;  // two-digit chunk ids, one digit used

class AviFileWriter {
  public:
    AviFileWriter() = default;
    AviFileWriter(const AviFileWriter&) = delete;
    AviFileWriter& operator=(const AviFileWriter&) = delete;

    // Creates (or truncates) path for writing.
    bool Open(const std::filesystem::path& path);
    // Adds a stream before the first sample: type, handler, scale, rate, quality, sample size and
    // frame rectangle are taken from info; format is the 40-byte bitmap header of a video stream
    // or the 18-byte wave format of an audio stream (may be empty). The stream number, or -1.
    int AddStream(const AviStreamHeader& info, const std::uint8_t* format, std::size_t formatSize);
    // Writes one sample as the stream's next chunk; flags go to its index entry (kAviKeyFrame).
    bool WriteSample(int stream, const void* data, std::uint32_t size, std::uint32_t flags);
    // Writes the index and the final headers and closes the file.
    bool Finish();

  private:
    struct Stream {
        AviStreamHeader header;
        std::vector<std::uint8_t> format;
        char chunkId[4];
        std::uint32_t samples = 0;
        std::uint64_t bytes = 0;
        std::uint32_t largest = 0;
    };
    std::size_t HeaderSize() const;
    std::vector<std::uint8_t> BuildHeader(std::uint32_t riffSize, std::uint32_t moviSize) const;
    bool BeginMovi();

    UniqueFile file_;
    std::vector<Stream> streams_;
    std::vector<AviIndexEntry> index_;
    std::int64_t moviStart_ = 0;  // position of the movi list type
    std::int64_t position_ = 0;   // where the next chunk goes
    bool moviBegun_ = false;
    bool failed_ = false;
};

}  // namespace kx
