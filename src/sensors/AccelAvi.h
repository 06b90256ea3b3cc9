#pragma once
// Acceleration data of AVI recordings: every chunk of the "SENS" stream starts with three
// little-endian 32-bit floats X, Y, Z; the player's reader converts each into a Rec3GF in the
// acceleration buffer while it indexes the file.
#include <cstdint>
#include <span>

namespace kx {

class AviAccelConverter {
  public:
    // buffer is the acceleration buffer; frameRate is the front video's frame rate (values
    // below 1 are taken as 1, so the timing rule never divides by zero).
    AviAccelConverter(std::span<std::uint8_t> buffer, int frameRate);

    // One chunk of the G-sensor stream, in stream order. A chunk shorter than 12 bytes (a
    // failed read) is skipped without counting it; only the first 12 bytes of longer chunks are
    // used. Chunk k gets the next whole second when k is a multiple of 2 x frame rate, else the
    // previous time plus (1000 / frame rate) / 2. Returns false when the buffer is full.
    bool AddChunk(std::span<const std::uint8_t> payload);

    // Bytes written so far: what playback-started reports to the graph.
    std::size_t size() const { return written_; }

  private:
    std::span<std::uint8_t> buffer_;
    int frameRate_;
    std::uint32_t chunkCount_ = 0;
    std::int32_t nextSecond_ = 0;
    std::int32_t lastTime_ = 0;
    std::size_t written_ = 0;
};

// A reading x 128 truncated towards zero, saturated to 16 bits (NaN gives 0).
std::int16_t AxisFromReading(float reading);

}  // namespace kx
