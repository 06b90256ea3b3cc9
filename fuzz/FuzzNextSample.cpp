// The reader on arbitrary bytes in memory, and a NextSample walk over every track it found.
#include <cstdint>
#include <string_view>

#include "containers/MediaFile.h"
#include "containers/Mp4File.h"
#include "containers/SampleCursor.h"

namespace {

constexpr std::uint32_t kMaxSamplesWalked = 20000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    kx::MP4FILE files[2]{};
    for (auto& f : files) f.gpsLength = f.accLength = -1;
    kx::ParseMP4Bytes(bytes, files, true);
    kx::MemoryFile file(bytes);
    for (auto& movie : files) {
        for (const auto& track : movie.moov.trak) {
            if (!track) continue;
            kx::SampleCursor cursor{};
            kx::SampleInfo sample;
            std::uint32_t count = track->stsz.sampleCount;
            for (std::uint32_t i = 0; i < count && i < kMaxSamplesWalked; ++i) {
                if (!kx::NextSample(cursor, sample, file, *track, movie.moov.mvhd)) break;
                if (i == 2) cursor.redeliver = true;
            }
        }
        kx::ReleaseMP4(movie);
    }
    return 0;
}
