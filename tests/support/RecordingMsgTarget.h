#pragma once
// A message target that records what a player posts, with the time it arrived.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/Msg.h"

namespace kx::test {

struct PostedMsg {
    Msg msg;
    std::intptr_t wParam;
    std::intptr_t lParam;
    std::chrono::steady_clock::time_point at;
};

class RecordingMsgTarget : public MsgTarget {
  public:
    void Post(Msg msg, std::intptr_t wParam, std::intptr_t lParam) override {
        {
            std::lock_guard lock(mutex_);
            messages_.push_back({msg, wParam, lParam, std::chrono::steady_clock::now()});
        }
        changed_.notify_all();
    }

    // Waits until a play message with this code (and value, unless any) has arrived.
    bool WaitFor(PlayCode code, std::intptr_t value, std::chrono::milliseconds timeout,
                 bool anyValue = false) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return FindLocked(code, value, anyValue); });
    }

    std::vector<PostedMsg> messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }

    std::vector<std::intptr_t> Values(PlayCode code) const {
        std::lock_guard lock(mutex_);
        std::vector<std::intptr_t> values;
        for (const PostedMsg& m : messages_)
            if (m.msg == Msg::PlayMessage && m.wParam == static_cast<std::intptr_t>(code))
                values.push_back(m.lParam);
        return values;
    }

    void Clear() {
        std::lock_guard lock(mutex_);
        messages_.clear();
    }

  private:
    bool FindLocked(PlayCode code, std::intptr_t value, bool anyValue) const {
        for (const PostedMsg& m : messages_)
            if (m.msg == Msg::PlayMessage && m.wParam == static_cast<std::intptr_t>(code) &&
                (anyValue || m.lParam == value))
                return true;
        return false;
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<PostedMsg> messages_;
};

}  // namespace kx::test
