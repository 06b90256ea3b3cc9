#pragma once
// The numeric message codes, command ids and timer ids that the viewer's windows exchange.
// Windows and worker threads post them to each other (see PostMsg.h); the core reaches a window
// only through a MsgTarget.
#include <cstdint>

namespace kx {

inline constexpr int kWmUser = 0x400;

enum class Msg : int {
    // Messages between panels (WM_USER + n).
    FullView = kWmUser + 101,         // 0x465 toggle video (0) or map (1) full view
    MenuCommand = kWmUser + 103,      // 0x467 menu or list command; player prepared (lParam -1)
    Seek = kWmUser + 104,             // 0x468 seek to lParam ms; slider moved
    PlayRequest = kWmUser + 105,      // 0x469 play request to the main view
    PlayMessage = kWmUser + 106,      // 0x46A play message from a player (codes below)
    CardChanged = kWmUser + 107,      // 0x46B card changed (wParam action, lParam card form)
    MapEvent = kWmUser + 108,         // 0x46C map page event
    ShowWaitingBox = kWmUser + 109,   // 0x46D show the waiting box
    PopupRowClicked = kWmUser + 111,  // 0x46F row button clicked in pop-up mode

    // System command: bring the main frame to the front (sent by a second start).
    SysCommandBringToFront = 0xF400,

    // Window commands (WM_COMMAND ids).
    CommandOk = 1,                // dialog OK: accept and close; message box result
    CommandCancel = 2,            // dialog Cancel: refuse and close; message box result
    CommandCapture = 1004,        // control panel: save the shown picture as JPEG or BMP
    CommandPrint = 1005,          // control panel: print the shown picture with its time stamp
    CommandSpeedMenu = 1006,      // control panel: open the play speed menu
    CommandStop = 1007,           // control panel: stop and close the recording
    CommandPlayPause = 1008,      // control panel: toggle play and pause
    CommandNextFrame = 1009,      // control panel: one frame forward
    CommandPrevFrame = 1010,      // control panel: one frame backward
    CommandScreenMode = 1105,     // control panel: cycle the rear inset picture position
    CommandAbout = 1201,          // title bar: open the About box
    CommandFullScreen = 1229,     // control panel: toggle the video full view
    CommandFlipUpDown = 1230,     // control panel: flip the picture vertically
    CommandFlipLeftRight = 1231,  // control panel: flip the picture horizontally
    CommandStretch = 1232,        // control panel: stretch the picture or keep 16:9
    CommandSwapFrontRear = 1233,  // control panel: swap the front and rear pictures

    // Menu command ids (lParam of MenuCommand).
    CommandListExport = 32771,     // file list menu: export the row's recording
    CommandListCopy = 32772,       // file list menu: copy the row's recording to a folder
    CommandListDelete = 32773,     // file list menu: delete the row's recording
    CommandDriveMenuBase = 32775,  // drive menu: card i of the card list is 32775 + i
    CommandListHover = 40000,      // file list: pointer over a row (wParam row, -1 none)
    CommandSpeedItemBase = 40001,  // speed menu: item i (0.5x, 1x, 2x, 4x) is 40001 + i
};

// Timer ids (one per window that runs it).
enum class TimerId : int {
    TimerLoadingAnimation = 1235,  // control panel: 100 ms frames of the loading animation
    TimerMapPage = 1237,           // map panel: loading animation, then draws the car marker
    TimerLayoutSettle = 1238,      // control panel: one-shot 100 ms after a layout change
};

// wParam of Msg::PlayMessage.
enum class PlayCode : int {
    Started = 0,
    EndedOrRearFailed = 1,
    Position = 2,
    DurationKnown = 3,
    CannotPlay = 4,
};

// lParam of Msg::MenuCommand when the player reports that it is prepared.
inline constexpr std::intptr_t kPlayerPrepared = -1;

// The receiving end of posted messages. Implementations must be safe to call from any thread
// and must not block; the message is handled later on the receiver's own thread.
class MsgTarget {
  public:
    virtual ~MsgTarget() = default;
    virtual void Post(Msg msg, std::intptr_t wParam, std::intptr_t lParam) = 0;
};

}  // namespace kx
