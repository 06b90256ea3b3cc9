#pragma once
// Plays one recording: the front channel and, when present, the rear channel in step, paced
// by the wall clock, with the recording's sound. A reader thread indexes the samples while a
// play thread decodes and shows them; the owner hears about it only through posted messages.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/AtomicFile.h"
#include "platform/AutoResetEvent.h"
#include "platform/Msg.h"
#include "player/AudioPlayback.h"
#include "player/SampleIndex.h"
#include "player/VideoChannel.h"

namespace kx {

class IndexSource;

// Speeds 0.5x, 1x, 2x and 4x.
inline constexpr int kSpeedCount = 4;
inline constexpr int kNormalSpeed = 1;
// The "WAIT" overlay stays until this many groups of pictures have arrived.
inline constexpr int kWaitGroups = 3;

struct PlayerEnvironment {
    MsgTarget* owner = nullptr;  // receives the play messages
    WaveOut* wave = nullptr;     // the sound device
    // The step file sized to at least the given bytes (null: no step cache).
    std::function<std::FILE*(std::uint64_t)> stepFile;
    // The packet file of recordings that FFmpeg demultiplexes, and its release.
    std::function<UniqueFile()> openPacketFile;
    std::function<void()> releasePacketFile;
    // Gives a channel its presenter for its picture size (called on the reader thread).
    std::function<bool(VideoChannel&)> createPresenter;
    // Shows or removes the "WAIT" overlay.
    std::function<void(bool)> showWait;
    // Pictures are shown as fast as they decode instead of at their time (benchmarks).
    bool fastClock = false;
};

class SyncPlayer {
  public:
    SyncPlayer(VideoChannel& front, VideoChannel& rear, SampleIndex& audioIndex,
               PlayerEnvironment environment);
    ~SyncPlayer();
    SyncPlayer(const SyncPlayer&) = delete;
    SyncPlayer& operator=(const SyncPlayer&) = delete;

    // Prepares the source and starts the reader and play threads.
    bool StartPlay(std::unique_ptr<IndexSource> source, int startOffsetSeconds);
    void StopPlay();
    void Pause(bool on);
    void Seek(std::int32_t timeMs);
    void SetSpeed(int index);
    void Step(bool backward);

    bool paused() const { return paused_; }
    bool waiting() const { return waitCount_ > 0; }
    int speed() const { return speed_; }
    bool rearPresent() const { return rearPresent_; }
    void SetSwap(bool swap) { swap_ = swap; }
    void SetFlip(int flip) { flip_ = flip; }
    int flip() const { return flip_; }
    int framesShown(int channel) const { return shown_[channel].load(); }
    int audioBlocksQueued() const { return audioBlocks_.load(); }

    // Used by the index sources.
    VideoChannel& front() { return front_; }
    VideoChannel& rear() { return rear_; }
    SampleIndex& audioIndex() { return audioIndex_; }
    AudioPlayback& audio() { return audio_; }
    const PlayerEnvironment& environment() const { return environment_; }
    std::mutex& indexMutex() { return indexMutex_; }
    bool running() const { return run_.load(); }
    void SetRearPresent(bool present) { rearPresent_ = present; }
    void SetKeyFramesOnlyAllowed(bool allowed) { keyFramesOnlyAllowed_ = allowed; }
    int startOffset() const { return startOffset_; }
    void Post(PlayCode code, std::intptr_t value);
    void PostPrepared();
    // A group of pictures arrived: counts the "WAIT" state down.
    void GroupArrived();

  private:
    struct Pending {
        bool taken = false;
        std::size_t entry = 0;
    };

    void ReaderThread();
    void PlayThread();
    bool PreparePresenters();
    bool TakeNext(VideoChannel& channel, Pending& pending);
    void GiveBack(VideoChannel& channel, Pending& pending);
    void ShowFirst(VideoChannel& channel, Pending& pending, bool keyFramesOnly);
    bool ShowIfDue(VideoChannel& channel, Pending& pending, std::uint64_t elapsed,
                   bool keyFramesOnly, bool& keyShown, std::int64_t& untilDue);
    void ShowPicture(VideoChannel& channel, bool repaint);
    bool DecodeAhead();
    void FeedAudio();
    std::int64_t Scaled(std::int64_t ms) const;
    void EnterWait();
    void LeaveWait();
    void MoveAudioToPicture();
    void RestartAudio();
    std::uint64_t Now() const;

    VideoChannel& front_;
    VideoChannel& rear_;
    SampleIndex& audioIndex_;
    PlayerEnvironment environment_;
    AudioPlayback audio_;
    std::unique_ptr<IndexSource> source_;

    std::mutex indexMutex_;
    AutoResetEvent pauseAcknowledged_;
    AutoResetEvent playExit_;
    AutoResetEvent runExit_;
    std::thread reader_;
    std::thread player_;

    std::atomic<bool> run_{false};
    std::atomic<int> playMode_{0};
    std::atomic<bool> paused_{false};
    std::atomic<bool> pauseRequest_{false};
    // A re-sync request for the play thread, the strongest one asked for since it last looked.
    enum Resync : int {
        kResyncNone = 0,
        kResyncClock = 1,     // restart the clock
        kResyncGiveBack = 2,  // also give back the samples taken but not shown
        kResyncJump = 3,      // the position jumped: drop the taken samples, flush the decoders
    };
    void RequestResync(Resync level) { resync_ = std::max(resync_, static_cast<int>(level)); }
    int resync_ = kResyncNone;
    std::atomic<bool> stepped_{false};
    std::atomic<bool> indexComplete_{false};
    std::atomic<int> waitCount_{0};
    std::atomic<bool> rearPresent_{false};
    std::atomic<bool> swap_{false};
    std::atomic<int> flip_{0};
    std::atomic<int> speed_{kNormalSpeed};
    bool keyFramesOnlyAllowed_ = false;
    bool keyFramesOnly_ = false;
    int startOffset_ = 0;
    std::size_t nextAudio_ = 0;
    std::FILE* stepFile_ = nullptr;  // owned by the settings (the step file)
    bool takenAny_ = false;
    bool clockForgotten_ = true;
    std::uint64_t startTick_ = 0;
    std::int32_t baseTime_ = 0;
    Pending frontPending_, rearPending_;
    // Per channel: decoding ahead until the queue is full, started when it runs low.
    bool refilling_[2] = {false, false};
    std::atomic<int> shown_[2] = {0, 0};
    std::atomic<int> audioBlocks_{0};
};

}  // namespace kx
