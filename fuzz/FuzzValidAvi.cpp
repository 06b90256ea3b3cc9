// Any bytes as an AVI recording: ValidAVI reads it and, when it has no index, repairs it in
// place (on a private copy), and an export of the result copies only chunks inside the file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/Trace.h"
#include "containers/AviExport.h"
#include "containers/AviReader.h"
#include "platform/AtomicFile.h"

namespace {

std::string PrivatePath(const char* suffix) {
    // A memory file system keeps the repair's flushes to the device cheap.
    const char* folder = std::getenv("TMPDIR");
    if (!folder) folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(folder) + "/kx_fuzz_avi_" + std::to_string(::getpid()) + suffix;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string input = PrivatePath(".avi");
    static const std::string output = PrivatePath("_out.avi");
    static const bool started = [] {
        kx::TraceStart("/dev/null", "fuzz");
        std::atexit([] {  // the private copies go with the process
            std::remove(input.c_str());
            std::remove(output.c_str());
        });
        return true;
    }();
    (void)started;
    {
        kx::UniqueFile file = kx::OpenFile(input, "wb");
        if (!file || std::fwrite(data, 1, size, file.get()) != size) return 0;
    }
    kx::AVIFILEINFO info;
    if (size > 0 && data[0] == 'M') info.streamCount = kx::kAviMainHeaderOnly;
    const int valid = kx::ValidAVI(input, info);
    if (valid == 1 && info.streamCount != kx::kAviMainHeaderOnly) {
        if (info.index.size() != info.indexCount) __builtin_trap();
        kx::UniqueFile source = kx::OpenFile(input, "rb");
        if (source) {
            const bool other = info.videoStreamCount > 1;
            kx::ExportAVI(source.get(), output, info, size % 3, 185, true, true, other);
        }
    }
    kx::ProbeAviDurationSeconds(input);
    return 0;
}
