#include "player/SyncPlayer.h"

#include <algorithm>

#include "app/Trace.h"
#include "platform/TickCount.h"
#include "player/IndexSource.h"

namespace kx {
namespace {

constexpr unsigned kIdleSleepMs = 100;
// Until the first sample has arrived the play thread looks more often, so that the first
// picture follows the reader closely.
constexpr unsigned kFirstSampleSleepMs = 5;
// A picture is shown when it is due within this many milliseconds.
constexpr std::int64_t kDueSlackMs = 3;
constexpr auto kPauseHandshakeTimeout = std::chrono::seconds(5);
// Between pictures the play thread sleeps until the next one is due, but never longer than
// this, so that pause, seek and speed requests are taken promptly (the sound queue holds more
// than this).
constexpr std::int64_t kMaxPlaySleepMs = 40;
// While the clock waits the play thread decodes pictures ahead, in bursts: a channel's queue is
// refilled to its limit (at most a second at 30 pictures per second, and at most kAheadBytes of
// pictures) once it has run down to a fifth of it. A sample decoded alone after a sleep costs
// much more processor time than one decoded in a run, when the decoder's data is still in the
// caches.
constexpr std::size_t kAheadPictures = 30;
constexpr std::size_t kAheadBytes = 96u << 20;
static_assert(kAheadPictures <= kMaxAheadPictures);

std::size_t AheadLimit(const VideoChannel& channel) {
    std::size_t pictureBytes = static_cast<std::size_t>(std::max(channel.width(), 16)) *
                               static_cast<std::size_t>(std::max(channel.height(), 16)) * 3 / 2;
    return std::clamp<std::size_t>(kAheadBytes / pictureBytes, 2, kAheadPictures);
}

}  // namespace

SyncPlayer::SyncPlayer(VideoChannel& front, VideoChannel& rear, SampleIndex& audioIndex,
                       PlayerEnvironment environment)
    : front_(front),
      rear_(rear),
      audioIndex_(audioIndex),
      environment_(std::move(environment)),
      audio_(*environment_.wave) {}

SyncPlayer::~SyncPlayer() {
    StopPlay();
}

void SyncPlayer::Post(PlayCode code, std::intptr_t value) {
    if (environment_.owner)
        environment_.owner->Post(Msg::PlayMessage, static_cast<std::intptr_t>(code), value);
}

void SyncPlayer::PostPrepared() {
    if (environment_.owner) environment_.owner->Post(Msg::MenuCommand, 0, kPlayerPrepared);
}

std::uint64_t SyncPlayer::Now() const {
    return TickCount();
}

bool SyncPlayer::StartPlay(std::unique_ptr<IndexSource> source, int startOffsetSeconds) {
    StopPlay();
    if (!source || !source->Prepare(*this)) return false;
    source_ = std::move(source);
    startOffset_ = std::max(0, startOffsetSeconds);
    paused_ = startOffset_ > 0 || source_->StartsPaused();
    pauseRequest_ = false;
    resync_ = kResyncNone;
    refilling_[0] = refilling_[1] = false;
    stepped_ = false;
    indexComplete_ = false;
    waitCount_ = 0;
    takenAny_ = false;
    clockForgotten_ = true;
    nextAudio_ = 0;
    frontPending_ = rearPending_ = Pending{};
    shown_[0] = shown_[1] = 0;
    audioBlocks_ = 0;
    run_ = true;
    playMode_ = source_->PlayMode();
    try {
        reader_ = std::thread([this] { ReaderThread(); });
    } catch (const std::system_error&) {
        Trace("CDispWnd::StartPlay", __LINE__, "StartPlay Create run_thread failed %s\n",
              front_.path().c_str());
        run_ = false;
        playMode_ = 0;
        return false;
    }
    try {
        player_ = std::thread([this] { PlayThread(); });
    } catch (const std::system_error&) {
        Trace("CDispWnd::StartPlay", __LINE__, "StartPlay Create play_thread failed %s\n",
              front_.path().c_str());
        StopPlay();
        return false;
    }
    return true;
}

bool SyncPlayer::PreparePresenters() {
    auto present = [this](VideoChannel& channel) {
        return !environment_.createPresenter || environment_.createPresenter(channel);
    };
    if (!present(front_)) return false;
    front_.ConfigureStepCache(0);
    PostPrepared();
    if (rearPresent_) {
        if (present(rear_)) {
            rear_.ConfigureStepCache(front_.stepCache().regionBytes());
        } else {
            rearPresent_ = false;
            swap_ = false;
            Post(PlayCode::EndedOrRearFailed, 1);
        }
    }
    if (environment_.stepFile) {
        std::uint64_t bytes =
            front_.stepCache().regionBytes() + (rearPresent_ ? rear_.stepCache().regionBytes() : 0);
        stepFile_ = environment_.stepFile(bytes);
    }
    return true;
}

void SyncPlayer::ReaderThread() {
    bool ok = source_->Connect(*this);
    if (ok) {
        ok = PreparePresenters();
        if (!ok && run_) Post(PlayCode::CannotPlay, 0);
    } else if (run_) {
        Post(PlayCode::CannotPlay, 0);
    }
    if (ok) source_->Walk(*this);
    indexComplete_ = true;
    if (waitCount_ > 0) LeaveWait();
    runExit_.Wait();
}

void SyncPlayer::GroupArrived() {
    if (waitCount_ <= 0) return;
    if (--waitCount_ == 0) {
        if (environment_.showWait) environment_.showWait(false);
        if (!paused_ && speed_ == kNormalSpeed) RestartAudio();
    }
}

void SyncPlayer::EnterWait() {
    waitCount_ = kWaitGroups;
    if (environment_.showWait) environment_.showWait(true);
    audio_.AudStop();
    MoveAudioToPicture();
}

void SyncPlayer::LeaveWait() {
    waitCount_ = 0;
    if (environment_.showWait) environment_.showWait(false);
}

std::int64_t SyncPlayer::Scaled(std::int64_t ms) const {
    switch (speed_.load()) {
        case 0:
            return ms * 2;
        case 2:
            return ms / 2;
        case 3:
            return ms / 4;
        default:
            return ms;
    }
}

bool SyncPlayer::TakeNext(VideoChannel& channel, Pending& pending) {
    const SampleIndex& index = channel.index();
    std::size_t next = channel.nextSample();
    if (keyFramesOnly_) {
        while (next < index.size() && index[next].size > 0 && !index[next].key) ++next;
    }
    if (next >= index.size() || index[next].size <= 0) return false;
    pending.taken = true;
    pending.entry = next;
    channel.SetNextSample(next + 1);
    takenAny_ = true;
    return true;
}

void SyncPlayer::GiveBack(VideoChannel& channel, Pending& pending) {
    if (!pending.taken) return;
    channel.SetNextSample(pending.entry);
    pending.taken = false;
}

void SyncPlayer::ShowPicture(VideoChannel& channel, bool repaint) {
    channel.DrawFrame(flip_, repaint);
    ++shown_[&channel == &front_ ? 0 : 1];
}

// The first picture after the clock was (re)started: a key frame first fills the decoder's
// delay, so that the picture of the taken entry itself comes out.
void SyncPlayer::ShowFirst(VideoChannel& channel, Pending& pending, bool keyFramesOnly) {
    const SampleIndex& index = channel.index();
    const int delay = channel.decoderDelay();
    std::size_t entry = pending.entry;
    pending.taken = false;
    if (index.At(entry).key || keyFramesOnly) {
        for (int i = 0; i < delay && entry < index.size(); ++i) channel.DecodeEntry(entry++);
    }
    if (entry >= index.size()) entry = index.size() - 1;
    {
        // A seek that came meanwhile has positioned the channel already.
        std::lock_guard lock(indexMutex_);
        if (resync_ != kResyncJump) channel.SetNextSample(entry + 1);
    }
    if (channel.DecodeEntry(entry)) ShowPicture(channel, false);
    if (&channel == &front_) {
        baseTime_ = index.At(entry >= static_cast<std::size_t>(delay) ? entry - delay : 0).time;
        Post(PlayCode::Position, baseTime_);
    }
}

bool SyncPlayer::ShowIfDue(VideoChannel& channel, Pending& pending, std::uint64_t elapsed,
                           bool keyFramesOnly, bool& keyShown, std::int64_t& untilDue) {
    if (!pending.taken) return false;
    const SampleIndex& index = channel.index();
    const int delay = keyFramesOnly ? 0 : channel.decoderDelay();
    std::size_t entry = pending.entry;
    std::size_t pictureEntry = entry >= static_cast<std::size_t>(delay) ? entry - delay : 0;
    std::int32_t pictureTime = index.At(pictureEntry).time;
    std::int64_t due = Scaled(static_cast<std::int64_t>(pictureTime) - baseTime_);
    if (!environment_.fastClock && due - kDueSlackMs >= static_cast<std::int64_t>(elapsed)) {
        untilDue = std::min(untilDue, due - kDueSlackMs - static_cast<std::int64_t>(elapsed));
        return false;
    }
    pending.taken = false;
    if (channel.DecodeEntry(entry)) ShowPicture(channel, false);
    // Once per key frame: when the key frame's own picture comes out of the decoder.
    if (index.At(pictureEntry).key) {
        keyShown = true;
        if (&channel == &front_) Post(PlayCode::Position, pictureTime);
    }
    return true;
}

void SyncPlayer::PlayThread() {
    while (playMode_ != 0) {
        if (paused_ || waitCount_ > 0) {
            if (pauseRequest_) {
                {
                    std::lock_guard lock(indexMutex_);
                    GiveBack(front_, frontPending_);
                    GiveBack(rear_, rearPending_);
                }
                pauseRequest_ = false;
                clockForgotten_ = true;
                pauseAcknowledged_.Set();
            }
            SleepMs(kIdleSleepMs);
            continue;
        }

        bool ended = false;
        {
            std::lock_guard lock(indexMutex_);
            if (resync_ != kResyncNone) {
                keyFramesOnly_ = keyFramesOnlyAllowed_ && speed_ > kNormalSpeed;
                if (resync_ == kResyncGiveBack) {
                    GiveBack(front_, frontPending_);
                    GiveBack(rear_, rearPending_);
                } else if (resync_ == kResyncJump) {
                    // The samples taken belong to the old position. This thread owns the
                    // decoders while playing, so it flushes them.
                    frontPending_ = rearPending_ = Pending{};
                    front_.FlushDecoder();
                    if (rearPresent_) rear_.FlushDecoder();
                }
                resync_ = kResyncNone;
                clockForgotten_ = true;
            }
            if (!frontPending_.taken) TakeNext(front_, frontPending_);
            if (rearPresent_ && !rearPending_.taken) TakeNext(rear_, rearPending_);
            if (!frontPending_.taken) {
                if (indexComplete_ && front_.nextSample() >= front_.entryCount()) {
                    ended = true;
                } else if (!indexComplete_ && waitCount_ == 0 && takenAny_) {
                    EnterWait();
                }
            }
        }
        if (!frontPending_.taken) {
            if (ended) {
                paused_ = true;
                front_.DrawFrame(flip_, true);
                if (rearPresent_) rear_.DrawFrame(flip_, true);
                Post(PlayCode::EndedOrRearFailed, 0);
            }
            clockForgotten_ = true;
            SleepMs(takenAny_ ? kIdleSleepMs : kFirstSampleSleepMs);
            continue;
        }

        if (clockForgotten_) {
            startTick_ = Now();
            ShowFirst(front_, frontPending_, keyFramesOnly_);
            if (rearPresent_ && rearPending_.taken) ShowFirst(rear_, rearPending_, keyFramesOnly_);
            clockForgotten_ = false;
            continue;
        }

        std::uint64_t elapsed = static_cast<std::uint32_t>(Now() - startTick_);
        bool keyShown = false;
        std::int64_t untilDue = kMaxPlaySleepMs;
        bool shown = ShowIfDue(front_, frontPending_, elapsed, keyFramesOnly_, keyShown, untilDue);
        if (rearPresent_)
            shown |= ShowIfDue(rear_, rearPending_, elapsed, keyFramesOnly_, keyShown, untilDue);

        if (speed_ == kNormalSpeed && waitCount_ == 0) FeedAudio();
        if (keyShown) {
            SleepMs(1);
        } else if (!shown && !DecodeAhead()) {
            SleepMs(static_cast<unsigned>(std::clamp<std::int64_t>(untilDue, 1, kMaxPlaySleepMs)));
        }
    }
    indexComplete_ = false;
    playExit_.Wait();
}

// Queues sound blocks until the device holds kMaxQueuedAudioBlocks, so that the thread may
// sleep until the next picture is due.
void SyncPlayer::FeedAudio() {
    while (audio_.Count() < kMaxQueuedAudioBlocks) {
        std::lock_guard lock(audio_.audioMutex());
        SAMPLE_ENTRY entry = audioIndex_.At(nextAudio_);
        if (!audio_.isOpen() || nextAudio_ >= audioIndex_.size() || entry.size == 0) return;
        audio_.AudPlay(front_, entry.size, entry.offset);
        ++nextAudio_;
        ++audioBlocks_;
    }
}

// Decodes one picture ahead on each channel that is refilling its queue; false when there was
// nothing to decode (the thread may sleep then).
bool SyncPlayer::DecodeAhead() {
    if (keyFramesOnly_) return false;
    bool decoded = false;
    VideoChannel* channels[2] = {&front_, rearPresent_ ? &rear_ : nullptr};
    for (int i = 0; i < 2; ++i) {
        if (!channels[i]) continue;
        VideoChannel& channel = *channels[i];
        std::size_t queued = channel.aheadCount();
        std::size_t limit = AheadLimit(channel);
        if (queued <= limit / 5) refilling_[i] = true;
        if (queued >= limit) refilling_[i] = false;
        if (refilling_[i] && !channel.DecodeAhead()) refilling_[i] = false;
        decoded |= refilling_[i];
    }
    return decoded;
}

void SyncPlayer::MoveAudioToPicture() {
    if (front_.nextSample() == 0) {
        nextAudio_ = 0;
        return;
    }
    std::int32_t pictureTime = front_.ShownTime();
    std::size_t count = audioIndex_.size();
    std::size_t passed = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const SAMPLE_ENTRY& entry = audioIndex_[i];
        if (entry.size <= 0) return;  // the end of the filled entries: leave it
        if (entry.time > pictureTime) {
            nextAudio_ = passed;
            return;
        }
        passed = i;
    }
}

void SyncPlayer::RestartAudio() {
    audio_.AudStop();
    MoveAudioToPicture();
    audio_.AudStart();
}

void SyncPlayer::Pause(bool on) {
    if (on) {
        audio_.AudStop();
        pauseRequest_ = true;
        paused_ = true;
        if (waitCount_ > 0) LeaveWait();
        if (player_.joinable()) pauseAcknowledged_.Wait(kPauseHandshakeTimeout);
        VideoChannel& first = swap_ ? rear_ : front_;
        VideoChannel& second = swap_ ? front_ : rear_;
        first.DrawFrame(flip_, true);
        if (rearPresent_) second.DrawFrame(flip_, true);
        return;
    }
    {
        std::lock_guard lock(indexMutex_);
        if (speed_ == kNormalSpeed) RestartAudio();
        if (stepped_) {
            front_.ResetStep(stepFile_ != nullptr);
            if (rearPresent_) rear_.ResetStep(stepFile_ != nullptr);
            stepped_ = false;
        }
        frontPending_ = rearPending_ = Pending{};
        clockForgotten_ = true;
    }
    pauseRequest_ = false;
    paused_ = false;
}

void SyncPlayer::Seek(std::int32_t timeMs) {
    std::lock_guard lock(indexMutex_);
    audio_.AudStop();
    if (!paused_) {
        // The play thread may be decoding right now: it drops what it took and flushes the
        // decoders itself when it sees the request.
        front_.SetNextSample(front_.KeyEntryAt(timeMs));
        if (rearPresent_) rear_.SetNextSample(rear_.KeyEntryAt(timeMs));
        RequestResync(kResyncJump);
        if (speed_ == kNormalSpeed) {
            MoveAudioToPicture();
            audio_.AudStart();
        }
        return;
    }
    front_.SeekKey(timeMs, stepped_);
    if (rearPresent_) rear_.SeekKey(timeMs, stepped_);
    // A sample taken before the jump belongs to the old position.
    frontPending_ = rearPending_ = Pending{};
    stepped_ = false;
    if (front_.DecodeToFrame()) front_.DrawFrame(flip_, true);
    if (rearPresent_ && rear_.DecodeToFrame()) rear_.DrawFrame(flip_, true);
    Post(PlayCode::Position, front_.ShownTime());
}

void SyncPlayer::SetSpeed(int index) {
    if (index < 0 || index >= kSpeedCount || index == speed_) return;
    std::lock_guard lock(indexMutex_);
    if (paused_) {
        RequestResync(kResyncClock);
    } else {
        speed_ = index;
        if (index == kNormalSpeed)
            RestartAudio();
        else
            audio_.AudStop();
        RequestResync(kResyncGiveBack);
    }
    speed_ = index;
}

void SyncPlayer::Step(bool backward) {
    std::lock_guard lock(indexMutex_);
    auto stepChannel = [&](VideoChannel& channel) {
        int position = backward ? channel.StepPrev(stepFile_) : channel.StepNext(stepFile_);
        if (position < 0) return;
        channel.DrawFrame(flip_, true);
        if (&channel == &front_) Post(PlayCode::Position, channel.ShownTime());
    };
    stepChannel(front_);
    if (rearPresent_) stepChannel(rear_);
    stepped_ = true;
}

void SyncPlayer::StopPlay() {
    if (waitCount_ > 0) LeaveWait();
    if (reader_.joinable()) {
        run_ = false;
        runExit_.Set();
        reader_.join();
    }
    bool wasPlaying = player_.joinable();
    if (wasPlaying) {
        playMode_ = 0;
        playExit_.Set();
        player_.join();
        keyFramesOnly_ = false;
        resync_ = kResyncNone;
        stepped_ = false;
        audioIndex_.Clear();
    }
    audio_.Release();
    if (source_) {
        source_->Release();
        source_.reset();
    }
    rear_.StopPlay(wasPlaying && rearPresent_);
    front_.StopPlay(wasPlaying);
    if (wasPlaying && environment_.releasePacketFile) environment_.releasePacketFile();
    if (front_.display().draw) front_.display().draw->SetZoom({});
    rearPresent_ = false;
    stepFile_ = nullptr;
    paused_ = false;
    run_ = false;
}

}  // namespace kx
