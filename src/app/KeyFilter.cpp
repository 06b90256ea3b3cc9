#include "app/KeyFilter.h"

namespace kx {
namespace {

bool temperatureDisplay = false;  // user-interface thread only

}  // namespace

bool TemperatureDisplayOn() {
    return temperatureDisplay;
}

KeyAction KeyFilter::OnKey(KeyMessage message, int virtualKey) {
    if (virtualKey == kVkMenu) altLatch_ = message == KeyMessage::SysKeyDown;
    if (altLatch_ && virtualKey == kVkT) {
        temperatureDisplay = true;
        altLatch_ = false;
    }
    if (message != KeyMessage::KeyDown) return KeyAction::None;
    switch (virtualKey) {
        case kVkEscape:
            return KeyAction::Escape;
        case kVkSpace:
            return KeyAction::PlayPause;
        case kVkLeft:
        case kVkNumpad4:
            return KeyAction::StepBackward;
        case kVkRight:
        case kVkNumpad6:
            return KeyAction::StepForward;
        default:
            return KeyAction::None;
    }
}

}  // namespace kx
