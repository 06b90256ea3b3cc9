#pragma once
// Which index source plays a recording file: AVI, MP4 of the earlier layout (sample records,
// with its rear partner) or MP4 of the later layout (FFmpeg).
#include <filesystem>
#include <memory>

#include "player/IndexSource.h"

namespace kx {

// rear: the rear partner of an MP4 recording (may be empty); showRear: the rear picture is
// wanted at all (picture-in-picture not hidden). Null when the file cannot be played.
std::unique_ptr<IndexSource> MakeIndexSource(const std::filesystem::path& front,
                                             const std::filesystem::path& rear, bool showRear);

}  // namespace kx
