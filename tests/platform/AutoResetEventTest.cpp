#include "platform/AutoResetEvent.h"

#include <gtest/gtest.h>

#include <thread>

namespace kx {
namespace {

using namespace std::chrono_literals;

TEST(AutoResetEvent, ReleasesOneWaitThenResetsItself) {
    AutoResetEvent event;
    EXPECT_FALSE(event.Wait(1ms));
    event.Set();
    EXPECT_TRUE(event.Wait(1ms));
    EXPECT_FALSE(event.Wait(1ms)) << "the first wait consumed the signal";
}

TEST(AutoResetEvent, WakesAWaiterOnAnotherThread) {
    AutoResetEvent event;
    std::thread setter([&] {
        std::this_thread::sleep_for(10ms);
        event.Set();
    });
    EXPECT_TRUE(event.Wait(5s));
    setter.join();
}

}  // namespace
}  // namespace kx
