#pragma once
// Helpers that let the independent FAT tools (dosfstools, mtools) judge a formatted image.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/RunProcess.h"

namespace kx::test {

// Runs a FAT tool (looked up in /usr/sbin and /usr/bin) with MTOOLS_SKIP_CHECK=1.
ProcessResult RunFatTool(const std::string& tool, const std::vector<std::string>& arguments);

// A sparse file of the given size.
void CreateSparseFile(const std::filesystem::path& path, std::uint64_t bytes);

// Copies length bytes from offset of source into a new sparse file, skipping holes.
bool ExtractRange(const std::filesystem::path& source, std::uint64_t offset, std::uint64_t length,
                  const std::filesystem::path& target);

std::string ReadRange(const std::filesystem::path& path, std::uint64_t offset, std::size_t length);
void WriteRange(const std::filesystem::path& path, std::uint64_t offset, const std::string& bytes);

struct MbrSlot {
    std::uint8_t type;
    std::uint32_t start;
    std::uint32_t count;
};
// Writes a 512-byte MBR at offset 0: boot code bytes 0x5C, the slots, the signature.
void WriteMbr(const std::filesystem::path& image, const std::vector<MbrSlot>& slots);

// Random bytes from a fixed seed.
std::string PatternBytes(std::size_t size, unsigned seed);

}  // namespace kx::test
