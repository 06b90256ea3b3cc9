#include "player/CWaveQ.h"

namespace kx {

void CWaveQ::Push(std::vector<std::uint8_t> block) {
    std::lock_guard lock(mutex_);
    blocks_.push_back(std::move(block));
    count_.store(static_cast<int>(blocks_.size()), std::memory_order_relaxed);
}

void CWaveQ::PopDone() {
    std::lock_guard lock(mutex_);
    if (blocks_.empty()) return;
    blocks_.pop_front();
    count_.store(static_cast<int>(blocks_.size()), std::memory_order_relaxed);
}

void CWaveQ::Clear() {
    std::lock_guard lock(mutex_);
    blocks_.clear();
    count_.store(0, std::memory_order_relaxed);
}

}  // namespace kx
