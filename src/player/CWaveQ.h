#pragma once
// The blocks written to the sound device and not yet finished. The device's callback thread
// pops them; the play thread pushes; Count tells the player how far ahead the sound is.
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace kx {

class CWaveQ {
  public:
    virtual ~CWaveQ() = default;

    void Push(std::vector<std::uint8_t> block);
    // The oldest block has finished.
    void PopDone();
    void Clear();
    int Count() const { return count_.load(std::memory_order_relaxed); }

  private:
    std::mutex mutex_;
    std::deque<std::vector<std::uint8_t>> blocks_;
    std::atomic<int> count_{0};
};

}  // namespace kx
