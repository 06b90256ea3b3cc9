#pragma once
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kx {

// Writes bytes to a temporary file beside path, flushes it to the device and renames it over
// path, so that a reader (or a card pulled half-way) sees either the old or the new file.
bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes);

struct FileCloser {
    void operator()(std::FILE* file) const noexcept {
        if (file) std::fclose(file);
    }
};
// An open stdio file that is closed when it goes out of scope.
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

UniqueFile OpenFile(const std::filesystem::path& path, const char* mode);

// The whole content of a regular file; empty when it is missing, not a regular file or cannot
// be read to the end.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

}  // namespace kx
