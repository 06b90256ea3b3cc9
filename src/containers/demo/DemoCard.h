#pragma once
// Builds a demo memory card: KX-TMQ4/Record with recordings of every kind over two days (front
// and rear, sidecar and embedded sensor data, one of the later layout, one cut short) and
// KX-TMQ4/Config with version.bin and config.ini.
#include <filesystem>
#include <string>
#include <vector>

namespace kx::demo {

struct CardOptions {
    int seconds = 10;
    int frontWidth = 640, frontHeight = 360;
    int rearWidth = 320, rearHeight = 180;
    int fps = 30;
    bool hevc = false;
    bool single = false;  // one normal front recording only (for benchmarks)
    bool pair = false;    // one normal recording of both cameras only (for benchmarks)
};

struct CardResult {
    bool ok = false;
    std::string error;
    std::vector<std::filesystem::path> files;
};

CardResult MakeDemoCard(const std::filesystem::path& root, const CardOptions& options);

}  // namespace kx::demo
