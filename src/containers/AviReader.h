#pragma once
// Reading an AVI recording: its headers, stream lists and legacy index (idx1). A recording cut
// short without an index is repaired in place (AviRecover.h).
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "containers/AviFormat.h"

namespace kx {

enum class AviHeaderResult {
    kFailed,        // not an AVI, a read failed, no movi, or no usable avih
    kIndexPresent,  // an idx1 chunk was found (and read unless main-header-only)
    kIndexMissing,  // headers and movi are fine but there is no idx1
};

// Walks the top-level chunks of an open file and fills info (see AVIFILEINFO for the
// main-header-only mode). No write.
AviHeaderResult ReadAviHeaders(std::FILE* file, AVIFILEINFO& info);

// Reads path into info; a file without an index is repaired in place. 1 on success, 0 on failure.
int ValidAVI(const std::filesystem::path& path, AVIFILEINFO& info);

// The quick duration probe of the file list: whole seconds from the main header, 0 on any failure.
std::uint32_t ProbeAviDurationSeconds(const std::filesystem::path& path);

}  // namespace kx
