#pragma once
// The player's sample indexes: one entry per video or audio sample, appended by the reader
// thread while the play thread and the user-interface thread read them.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace kx {

// One indexed sample. Kept at its natural alignment (not packed): fields of a packed record
// are read through misaligned references, which the compiler does not promise to handle.
struct SAMPLE_ENTRY {
    std::int32_t size;     // bytes; 0 or less: not (yet) filled
    std::int32_t time;     // ms from the start of the recording
    std::uint8_t key;      // video: 1 for a key frame; audio: always 1
    std::uint32_t offset;  // absolute byte offset of the sample data in the worker's file
};

// The capacities the indexes start with: three minutes at 30 frames per second, and audio.
inline constexpr std::size_t kVideoIndexCapacity = 5460;
inline constexpr std::size_t kAudioIndexCapacity = 2912;

// An append-only table that grows in fixed blocks that never move, so readers on other threads
// may hold an index while the reader thread appends. Appends are serialised by the caller (the
// player's index mutex); reads of entries below size() need no lock.
class SampleIndex {
  public:
    static constexpr std::size_t kBlockEntries = 4096;
    static constexpr std::size_t kMaxBlocks = 1024;  // about 4 million samples
    static constexpr std::size_t kMaxEntries = kBlockEntries * kMaxBlocks;

    SampleIndex() = default;
    SampleIndex(const SampleIndex&) = delete;
    SampleIndex& operator=(const SampleIndex&) = delete;

    // False when the index is full.
    bool Append(const SAMPLE_ENTRY& entry);
    std::size_t size() const { return count_.load(std::memory_order_acquire); }
    const SAMPLE_ENTRY& operator[](std::size_t i) const {
        return blocks_[i / kBlockEntries]->entries[i % kBlockEntries];
    }
    // An entry, or an empty one (size 0) past the end.
    SAMPLE_ENTRY At(std::size_t i) const { return i < size() ? (*this)[i] : SAMPLE_ENTRY{}; }
    // Zeroes the entries and forgets them; the blocks stay for the next recording.
    void Clear();

  private:
    struct Block {
        std::array<SAMPLE_ENTRY, kBlockEntries> entries{};
    };
    std::array<std::unique_ptr<Block>, kMaxBlocks> blocks_{};
    std::atomic<std::size_t> count_{0};
};

// The player's three indexes: front video, rear video and audio. One player plays at a time.
struct PlayerIndexes {
    SampleIndex front;
    SampleIndex rear;
    SampleIndex audio;
};
PlayerIndexes& ProcessPlayerIndexes();

}  // namespace kx
