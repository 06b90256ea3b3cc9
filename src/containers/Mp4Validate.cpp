// ValidMP4: parse, test, and repair a damaged recording of the earlier layout in place.
#include "app/Trace.h"
#include "containers/MediaFile.h"
#include "containers/Mp4File.h"
#include "containers/Mp4Repair.h"

namespace kx {

namespace {

struct CallerPresets {
    std::int32_t gpsLength, accLength;
    std::uint8_t *gpsBuffer, *accBuffer;
    std::size_t gpsCapacity, accCapacity;
};

CallerPresets PresetsOf(const MP4FILE& file) {
    return {file.gpsLength, file.accLength,   file.gpsBuffer,
            file.accBuffer, file.gpsCapacity, file.accCapacity};
}

}  // namespace

int ValidMP4(const std::filesystem::path& path, MP4FILE files[2], bool allowDuplicates) {
    const CallerPresets presets[2] = {PresetsOf(files[0]), PresetsOf(files[1])};
    {
        auto file = DiskFile::Open(path, DiskFile::Mode::kRead);
        if (!file) return 0;
        if (file->Size() < 8) return 0;
        ParseMP4(*file, files, allowDuplicates);
    }
    if (IsMP4Playable(files[0])) return 1;
    Trace("ValidMP4", __LINE__, "Invalid %s Recovery\n", path.c_str());
    if (files[0].newFormat) return 0;

    auto file = DiskFile::Open(path, DiskFile::Mode::kUpdate);
    if (!file || !RepairMP4(files[0], *file, file->Size())) return 0;

    // Parse the repaired file afresh, with the caller's presets and sensor buffers.
    for (int i = 0; i < 2; ++i) {
        MP4FILE fresh{};
        fresh.gpsLength = presets[i].gpsLength;
        fresh.accLength = presets[i].accLength;
        fresh.gpsBuffer = presets[i].gpsBuffer;
        fresh.gpsCapacity = presets[i].gpsCapacity;
        fresh.accBuffer = presets[i].accBuffer;
        fresh.accCapacity = presets[i].accCapacity;
        ReleaseMP4(files[i]);
        files[i] = std::move(fresh);
    }
    ParseMP4(*file, files, allowDuplicates);
    return IsMP4Playable(files[0]) ? 1 : 0;
}

}  // namespace kx
