#pragma once
// Which entries the file list shows: the camera and kind filter buttons and the date filter.
#include <array>
#include <cstdint>

#include "library/FileEntry.h"

namespace kx {

struct ListFilter {
    std::array<bool, 2> cameras{true, true};            // front, rear
    std::array<bool, 4> kinds{true, true, true, true};  // normal, event, parking, manual
    std::int32_t date = 0;                              // 0 = every date

    // Camera L recordings (codes from 8 up) pass any camera filter.
    bool Passes(const FileEntry& entry) const;
};

}  // namespace kx
