// ValidMP4 on arbitrary bytes, with the in-place repair working on a private copy.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Trace.h"
#include "containers/Mp4File.h"

namespace {

// The private copy's path; a plain array, so that it outlives the exit handler that removes it.
char privateCopy[] = "/tmp/kx-fuzz-mp4-XXXXXX";

const char* PrivateCopy() {
    static const bool created = [] {
        int fd = mkstemp(privateCopy);
        if (fd < 0) std::abort();
        close(fd);
        kx::TraceStart("/dev/null", "fuzz");
        std::atexit([] { unlink(privateCopy); });
        return true;
    }();
    (void)created;
    return privateCopy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* path = PrivateCopy();
    FILE* file = std::fopen(path, "wb");
    if (!file) std::abort();
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);
    // The player's sensor buffers, smaller here so that cutting is exercised.
    std::vector<std::uint8_t> gps(4096), acc(1024);
    kx::MP4FILE files[2]{};
    for (auto& f : files) f.gpsLength = f.accLength = -1;
    files[0].gpsBuffer = gps.data();
    files[0].gpsCapacity = gps.size();
    files[0].accBuffer = acc.data();
    files[0].accCapacity = acc.size();
    bool allowDuplicates = size > 0 && (data[size - 1] & 1);
    kx::ValidMP4(path, files, allowDuplicates);
    kx::GetDurationSeconds(files[0]);
    kx::ReleaseMP4(files[0]);
    kx::ReleaseMP4(files[1]);
    return 0;
}
