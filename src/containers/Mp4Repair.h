#pragma once
// In-place repair of a recording of the earlier layout that was cut short: the sample records
// in mdat are walked, the sample tables rebuilt and a new moov written into the same file.
//
// The rewrite is ordered so that a process or power failure at any point leaves a file that
// the next open repairs again with the same samples: the bytes of the accepted records are
// never written, a new moov stays hidden (typed "skip") until it is complete and durable, and
// only then does a single 4-byte write turn it into the moov.
#include <cstdint>

#include "containers/Mp4File.h"
#include "containers/Mp4Writer.h"

namespace kx {

class MediaFile;

// mp4 is the description of the failed parse. Returns true when a new moov was written.
bool RepairMP4(MP4FILE& mp4, MediaFile& file, std::uint64_t fileLength,
               MovieClock clock = SystemMovieClock);

}  // namespace kx
