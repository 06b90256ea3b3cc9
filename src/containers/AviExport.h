#pragma once
// Export of a time range of an AVI recording: one or both video streams, with or without the
// sound, copied chunk by chunk (unchanged) into a new AVI file.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "containers/AviFormat.h"
#include "containers/AviWriter.h"

namespace kx {

// Copies the chunk of one index entry of source (whose movi starts at moviPosition) as the next
// sample of outputStream. buffer is the copy buffer, grown as chunks need it.
bool AviStreamWrite(std::vector<std::uint8_t>& buffer, std::FILE* source,
                    const AviIndexEntry& entry, AviFileWriter& output, int outputStream,
                    std::int64_t moviPosition);

// Writes the seconds startSecond..endSecond of source (described by info from ValidAVI) to
// outputPath: stream 0 when firstVideo, the second video stream when otherVideo (its frames
// then give the time), the audio when withSound. 1 on success, 0 on failure.
int ExportAVI(std::FILE* source, const std::filesystem::path& outputPath, const AVIFILEINFO& info,
              int startSecond, int endSecond, bool withSound, bool firstVideo, bool otherVideo);

}  // namespace kx
