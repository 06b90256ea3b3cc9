#pragma once
// Small recording fixtures built in the tests: MP4 files with just the boxes the duration
// probe reads, AVI files with just their main header, and empty files of a card folder.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kx::test {

std::string BigEndian32(std::uint32_t value);
std::string LittleEndian32(std::uint32_t value);
std::string Box(std::string_view type, std::string_view payload);

// A movie header of version 0 (32-bit times) or 1 (64-bit times).
std::string MovieHeader(int version, std::uint32_t timeScale, std::uint64_t duration);

// leadingBoxes boxes (ftyp, free, mdat, ftyp, ...) and then moov
// with the movie header first.
std::string Mp4File(std::uint32_t timeScale, std::uint64_t duration, int version = 0,
                    int leadingBoxes = 3);

// RIFF AVI with LIST hdrl and its avih main header.
std::string AviFile(std::uint32_t microsecondsPerFrame, std::uint32_t totalFrames);

// Creates empty files (or files with the given bytes) named so in the folder.
void TouchFiles(const std::filesystem::path& folder, const std::vector<std::string>& names);

}  // namespace kx::test
