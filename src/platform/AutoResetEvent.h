#pragma once
// An event that releases one waiter and then resets itself, as the player's handshakes need
// (pause acknowledged, play thread exit, reader exit).
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kx {

class AutoResetEvent {
  public:
    void Set() {
        {
            std::lock_guard lock(mutex_);
            signalled_ = true;
        }
        condition_.notify_one();
    }

    void Reset() {
        std::lock_guard lock(mutex_);
        signalled_ = false;
    }

    // Waits until the event is set, then clears it. False when the timeout ran out first.
    bool Wait(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        if (!condition_.wait_for(lock, timeout, [this] { return signalled_; })) return false;
        signalled_ = false;
        return true;
    }

    void Wait() {
        std::unique_lock lock(mutex_);
        condition_.wait(lock, [this] { return signalled_; });
        signalled_ = false;
    }

  private:
    std::mutex mutex_;
    std::condition_variable condition_;
    bool signalled_ = false;
};

}  // namespace kx
