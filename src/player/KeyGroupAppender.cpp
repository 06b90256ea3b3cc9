#include "player/KeyGroupAppender.h"

#include "player/SyncPlayer.h"

namespace kx {

void KeyGroupAppender::AppendHeld() {
    if (held_.empty()) return;
    std::lock_guard lock(player_.indexMutex());
    for (const SAMPLE_ENTRY& entry : held_) index_.Append(entry);
    held_.clear();
    player_.GroupArrived();
}

void KeyGroupAppender::Add(const SAMPLE_ENTRY& entry, int decoderDelay) {
    if (entry.key) {
        AppendHeld();
        seenKey_ = true;
        held_.push_back(entry);
    } else if (!seenKey_) {
        return;
    } else if (!held_.empty()) {
        held_.push_back(entry);
    } else {
        std::lock_guard lock(player_.indexMutex());
        index_.Append(entry);
    }
    last_ = entry;
    if (held_.size() > static_cast<std::size_t>(decoderDelay)) AppendHeld();
}

void KeyGroupAppender::Finish(int decoderDelay) {
    AppendHeld();
    if (!seenKey_) return;
    std::lock_guard lock(player_.indexMutex());
    for (int i = 0; i < decoderDelay; ++i) index_.Append(last_);
}

}  // namespace kx
