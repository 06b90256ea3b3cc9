#pragma once
// Sidecar files (.gps, .3gf) read whole into a fixed sensor buffer.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

namespace kx {

// The raw GPS buffer: sidecar text, MP4 GPS boxes or the AVI sentence list.
inline constexpr std::size_t kRawGpsBufferSize = 163848;
// The acceleration buffer: the .3gf sidecar or the converted AVI samples.
inline constexpr std::size_t kAccelBufferSize = 61628;

// Reads the file at path into buffer and writes a zero byte after it; returns the number of
// data bytes, or nothing when the file cannot be opened or read (traced under
// "CDispCtrlDlg::SetData"). A file longer than buffer.size() - 1 bytes is cut to that length:
// a long recording keeps the fixes and samples that fit instead of losing them all.
std::optional<std::size_t> SetData(const std::filesystem::path& path,
                                   std::span<std::uint8_t> buffer);

}  // namespace kx
