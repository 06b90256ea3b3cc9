#pragma once
// GPS data of AVI recordings. The player's reader hands every chunk of the "GPSR" stream, in
// stream order, to an AviGpsSentenceList, which packs the sentences into the raw GPS buffer;
// when playback starts, ParseGpsAvi turns the list into fixes.
//
// List layout: byte 0 non-zero when the list holds data; bytes 1-4 a big-endian offset in
// centiseconds (index of the chunk that carried the first sentence x 100, one chunk a second);
// then entries of a length byte L (sentence length + 1) and L - 1 bytes of text; a length byte
// of 0 ends the list.
#include <cstddef>
#include <cstdint>
#include <span>

#include "sensors/GpsTrack.h"

namespace kx {

// Room for one sensor chunk of an AVI; longer chunks are cut to it.
inline constexpr std::size_t kAviSensorChunkCapacity = 128;
// Longest sentence an entry holds: its length byte must stay positive as a signed byte.
inline constexpr std::size_t kAviSentenceCapacity = 126;
inline constexpr std::size_t kAviGpsListHeaderSize = 5;

class AviGpsSentenceList {
  public:
    // buffer is the raw GPS buffer; the list is kept terminated after every chunk.
    explicit AviGpsSentenceList(std::span<std::uint8_t> buffer);

    // One chunk of the GPS stream, in stream order. Its sentences are separated by CR, LF or
    // NUL; sentences longer than kAviSentenceCapacity are cut; sentences that no longer fit the
    // buffer are dropped. A chunk that could not be read is passed as an empty span.
    void AddChunk(std::span<const std::uint8_t> payload);

    bool empty() const { return !hasData_; }
    // Bytes in use, the end byte included.
    std::size_t size() const { return hasData_ ? end_ + 1 : 0; }

  private:
    void AddSentence(std::span<const std::uint8_t> sentence);

    std::span<std::uint8_t> buffer_;
    std::size_t end_ = kAviGpsListHeaderSize;
    std::uint32_t chunkIndex_ = 0;
    bool hasData_ = false;
};

// Appends a fix for every RMC sentence of the list whose status is not 'V'. Its key is the
// start key + (seconds since the first sentence's time) x 100 + the list's offset, with the
// seconds rolled over at midnight. Returns the number of fixes appended.
std::size_t ParseGpsAvi(GpsTrack& track, std::span<const std::uint8_t> list, std::int32_t startKey);

}  // namespace kx
