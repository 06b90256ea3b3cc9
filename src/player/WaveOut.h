#pragma once
// The sound device the player writes its 16-bit PCM blocks to. Implementations report each
// finished block through the done callback, on a thread of their own.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace kx {

struct WaveFormat {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 16;
    int blockAlign() const { return channels * bitsPerSample / 8; }
    int bytesPerSecond() const { return sampleRate * blockAlign(); }
};

class WaveOut {
  public:
    using DoneCallback = std::function<void()>;  // one block has finished playing

    virtual ~WaveOut() = default;
    virtual bool Open(const WaveFormat& format, DoneCallback done) = 0;
    // Queues one block; the device keeps its own copy of the bytes.
    virtual bool Write(const std::uint8_t* data, std::size_t size) = 0;
    virtual void Pause() = 0;
    // Drops every pending block (without done notices) and stops.
    virtual void Reset() = 0;
    virtual void Close() = 0;
};

// A device that plays nothing: blocks finish after their playing time (or at once when
// instant is set). Used headless, in tests and by kxcard; it never fails to open unless told.
class SilentWaveOut : public WaveOut {
  public:
    explicit SilentWaveOut(bool instant = false, bool failOpen = false);
    ~SilentWaveOut() override;

    bool Open(const WaveFormat& format, DoneCallback done) override;
    bool Write(const std::uint8_t* data, std::size_t size) override;
    void Pause() override;
    void Reset() override;
    void Close() override;

    // Blocks written since construction (for tests and reports).
    int blocksWritten() const;
    bool isOpen() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace kx
