#pragma once
// The viewer's key filter, applied to every key message before it is dispatched: Alt+T switches
// the camera temperature display on for the rest of the run, and Escape, Space, the arrows and
// numeric-pad 4/6 drive the full views and the player. It never swallows a key.
#include <cstdint>

namespace kx {

// Key codes as the viewer names them (the classic virtual-key values).
enum VirtualKey : int {
    kVkMenu = 0x12,  // Alt
    kVkEscape = 0x1B,
    kVkSpace = 0x20,
    kVkLeft = 0x25,
    kVkRight = 0x27,
    kVkT = 0x54,
    kVkNumpad4 = 0x64,
    kVkNumpad6 = 0x66,
};

enum class KeyMessage { KeyDown, KeyUp, SysKeyDown, SysKeyUp };

enum class KeyAction { None, Escape, PlayPause, StepBackward, StepForward };

class KeyFilter {
  public:
    // Updates the Alt latch and the temperature flag and tells which action the key asks for.
    KeyAction OnKey(KeyMessage message, int virtualKey);

    bool altLatch() const { return altLatch_; }

  private:
    bool altLatch_ = false;
};

// Set by Alt+T; never reset while the process runs. Opening a recording then looks for the
// camera temperature and the tool bar shows it.
bool TemperatureDisplayOn();

}  // namespace kx
