#pragma once
// A small H.264 recording made for a test: every picture is a flat grey of its own level, so a
// decoded picture tells which sample it came from.
#include <filesystem>
#include <vector>

#include "player/SampleIndex.h"

namespace kx::test {

struct TestVideo {
    std::vector<SAMPLE_ENTRY> entries;  // one per picture, offsets into the file
    int width = 0;
    int height = 0;
    int fps = 0;
};

// Luma level of picture n (limited range, 2 levels apart, distinct for 100 pictures).
int TestVideoLevel(int picture);

// Writes `pictures` Annex-B samples back to back into path (key frame every `gop` pictures).
TestVideo WriteTestVideo(const std::filesystem::path& path, int pictures, int gop, int width = 64,
                         int height = 48, int fps = 30);

// The picture whose level is nearest to a measured mean luma.
int PictureOfLevel(double meanLuma);

}  // namespace kx::test
