#include "player/SampleIndex.h"

namespace kx {

bool SampleIndex::Append(const SAMPLE_ENTRY& entry) {
    std::size_t count = count_.load(std::memory_order_relaxed);
    if (count >= kMaxEntries) return false;
    auto& block = blocks_[count / kBlockEntries];
    if (!block) block = std::make_unique<Block>();
    block->entries[count % kBlockEntries] = entry;
    count_.store(count + 1, std::memory_order_release);
    return true;
}

void SampleIndex::Clear() {
    std::size_t count = count_.load(std::memory_order_relaxed);
    for (std::size_t i = 0; i < count; ++i)
        blocks_[i / kBlockEntries]->entries[i % kBlockEntries] = SAMPLE_ENTRY{};
    count_.store(0, std::memory_order_release);
}

PlayerIndexes& ProcessPlayerIndexes() {
    static PlayerIndexes indexes;
    return indexes;
}

}  // namespace kx
