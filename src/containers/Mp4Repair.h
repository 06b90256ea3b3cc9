#pragma once
// In-place repair of a recording of the earlier layout that was cut short: the sample records
// in mdat are walked, the sample tables rebuilt and a new moov written into the same file.
#include <cstdint>

#include "containers/Mp4File.h"

namespace kx {

class MediaFile;

// mp4 is the description of the failed parse. Returns true when a new moov was written.
bool RepairMP4(MP4FILE& mp4, MediaFile& file, std::uint64_t fileLength);

}  // namespace kx
