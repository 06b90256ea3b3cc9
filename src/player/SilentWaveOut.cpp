#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "player/WaveOut.h"

namespace kx {

struct SilentWaveOut::State {
    bool instant;
    bool failOpen;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::chrono::microseconds> pending;  // playing time of each queued block
    DoneCallback done;
    WaveFormat format;
    bool open = false;
    bool paused = false;
    bool quit = false;
    int written = 0;
    std::thread player;

    void Run() {
        std::unique_lock lock(mutex);
        while (!quit) {
            if (!open || paused || pending.empty()) {
                changed.wait(lock);
                continue;
            }
            auto duration = pending.front();
            if (!instant &&
                changed.wait_for(lock, duration, [this] { return quit || paused || !open; }))
                continue;  // interrupted: the block did not finish
            if (pending.empty()) continue;
            pending.pop_front();
            DoneCallback callback = done;
            lock.unlock();
            if (callback) callback();
            lock.lock();
        }
    }
};

SilentWaveOut::SilentWaveOut(bool instant, bool failOpen) : state_(std::make_unique<State>()) {
    state_->instant = instant;
    state_->failOpen = failOpen;
    state_->player = std::thread([state = state_.get()] { state->Run(); });
}

SilentWaveOut::~SilentWaveOut() {
    {
        std::lock_guard lock(state_->mutex);
        state_->quit = true;
    }
    state_->changed.notify_all();
    state_->player.join();
}

bool SilentWaveOut::Open(const WaveFormat& format, DoneCallback done) {
    std::lock_guard lock(state_->mutex);
    if (state_->failOpen || format.channels <= 0 || format.sampleRate <= 0) return false;
    state_->format = format;
    state_->done = std::move(done);
    state_->open = true;
    state_->paused = false;
    return true;
}

bool SilentWaveOut::Write(const std::uint8_t*, std::size_t size) {
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->open) return false;
        int bytesPerSecond = state_->format.bytesPerSecond();
        state_->pending.push_back(std::chrono::microseconds(
            bytesPerSecond > 0 ? static_cast<long long>(size) * 1'000'000 / bytesPerSecond : 0));
        ++state_->written;
        state_->paused = false;
    }
    state_->changed.notify_all();
    return true;
}

void SilentWaveOut::Pause() {
    {
        std::lock_guard lock(state_->mutex);
        state_->paused = true;
    }
    state_->changed.notify_all();
}

void SilentWaveOut::Reset() {
    {
        std::lock_guard lock(state_->mutex);
        state_->pending.clear();
    }
    state_->changed.notify_all();
}

void SilentWaveOut::Close() {
    {
        std::lock_guard lock(state_->mutex);
        state_->open = false;
        state_->pending.clear();
        state_->done = nullptr;
    }
    state_->changed.notify_all();
}

int SilentWaveOut::blocksWritten() const {
    std::lock_guard lock(state_->mutex);
    return state_->written;
}

bool SilentWaveOut::isOpen() const {
    std::lock_guard lock(state_->mutex);
    return state_->open;
}

}  // namespace kx
