#pragma once
// Appends a channel's video entries so that a key frame never reaches the index without the
// entries the decoder needs after it: each key frame and the decoder-delay entries after it are
// held back and appended together. Entries before the first key frame are dropped (nothing can
// be decoded from them).
#include <mutex>
#include <vector>

#include "player/SampleIndex.h"

namespace kx {

class SyncPlayer;

class KeyGroupAppender {
  public:
    KeyGroupAppender(SampleIndex& index, SyncPlayer& player) : index_(index), player_(player) {}

    void Add(const SAMPLE_ENTRY& entry, int decoderDelay);
    // The end of the walk: what is held back, then the last entry decoderDelay more times so
    // that decoding to the end drains the decoder.
    void Finish(int decoderDelay);
    bool seenKeyFrame() const { return seenKey_; }
    std::int32_t lastTime() const { return last_.time; }

  private:
    void AppendHeld();

    SampleIndex& index_;
    SyncPlayer& player_;
    std::vector<SAMPLE_ENTRY> held_;
    SAMPLE_ENTRY last_{};
    bool seenKey_ = false;
};

}  // namespace kx
