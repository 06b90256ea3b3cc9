#include "app/KeyFilter.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(KeyFilter, KeysAskForTheirActionsOnKeyDownOnly) {
    KeyFilter filter;
    struct Case {
        int key;
        KeyAction action;
    } cases[] = {{kVkEscape, KeyAction::Escape},
                 {kVkSpace, KeyAction::PlayPause},
                 {kVkLeft, KeyAction::StepBackward},
                 {kVkNumpad4, KeyAction::StepBackward},
                 {kVkRight, KeyAction::StepForward},
                 {kVkNumpad6, KeyAction::StepForward},
                 {'A', KeyAction::None}};
    for (const Case& c : cases) {
        EXPECT_EQ(filter.OnKey(KeyMessage::KeyDown, c.key), c.action) << c.key;
        EXPECT_EQ(filter.OnKey(KeyMessage::KeyUp, c.key), KeyAction::None) << c.key;
        EXPECT_EQ(filter.OnKey(KeyMessage::SysKeyDown, c.key), KeyAction::None) << c.key;
    }
}

// The temperature flag is process-wide and never reset, so one test walks the whole story.
TEST(KeyFilter, AltTSwitchesTheTemperatureDisplayOnForGood) {
    KeyFilter filter;
    ASSERT_FALSE(TemperatureDisplayOn());

    // Releasing Alt before T does nothing.
    filter.OnKey(KeyMessage::SysKeyDown, kVkMenu);
    filter.OnKey(KeyMessage::KeyUp, kVkMenu);
    filter.OnKey(KeyMessage::KeyDown, kVkT);
    EXPECT_FALSE(TemperatureDisplayOn());

    filter.OnKey(KeyMessage::SysKeyDown, kVkMenu);
    EXPECT_TRUE(filter.altLatch());
    filter.OnKey(KeyMessage::SysKeyDown, kVkT);
    EXPECT_TRUE(TemperatureDisplayOn());
    EXPECT_FALSE(filter.altLatch());

    filter.OnKey(KeyMessage::KeyDown, kVkEscape);
    EXPECT_TRUE(TemperatureDisplayOn());
}

}  // namespace
}  // namespace kx
