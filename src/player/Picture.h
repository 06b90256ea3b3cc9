#pragma once
// A picture handed from a decode worker to its presenter: planar 4:2:0 planes as decoded, or
// one packed plane converted for the presenter's display type.
#include <cstdint>

namespace kx {

// What a presenter wants, as it reports from Init and Resize (0 = failure).
enum DisplayType : int {
    kDisplayNone = 0,
    kDisplayRgb16 = 2,   // 16 bits per pixel RGB (RGB565)
    kDisplayBgr24 = 3,   // 24 bits per pixel BGR
    kDisplayBgra32 = 4,  // 32 bits per pixel BGRA (what a 32-bit raster surface holds)
    kDisplayYuy2 = 8,    // packed YUYV 4:2:2
    kDisplayYv12 = 16,   // planar 4:2:0, decoded planes as they are
    kDisplayI420 = 32,   // planar 4:2:0, decoded planes as they are
};

// Packed types need a converted picture; planar ones take the decoded planes.
inline bool NeedsConversion(int displayType) {
    return displayType <= kDisplayYuy2;
}

// Flip bits of Draw.
inline constexpr int kFlipUpDown = 1;
inline constexpr int kFlipLeftRight = 2;

struct Picture {
    int width = 0;
    int height = 0;
    int displayType = kDisplayNone;
    // Packed types use plane 0 only; planar 4:2:0 uses Y, U, V.
    const std::uint8_t* planes[3] = {nullptr, nullptr, nullptr};
    int strides[3] = {0, 0, 0};
};

// A rectangle in picture coordinates (the zoom source); empty = the whole picture.
struct PictureRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

}  // namespace kx
