#pragma once
#include <chrono>
#include <cstdint>
#include <thread>

namespace kx {

// Milliseconds of a monotonic clock, the base of the player's wall-clock pacing.
inline std::uint64_t TickCount() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

inline void SleepMs(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Logical processors; never 0.
inline unsigned ProcessorCount() {
    unsigned count = std::thread::hardware_concurrency();
    return count == 0 ? 1 : count;
}

}  // namespace kx
