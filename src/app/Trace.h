#pragma once
// The trace log: one line per failure that the user is not told about, in trace_sd.txt of the
// settings folder, so that support can read what happened. Safe to call from any thread.
#include <cstddef>
#include <filesystem>
#include <string_view>

namespace kx {

// Room for a formatted message, terminator included; longer messages are not written.
inline constexpr std::size_t kTraceMessageCapacity = 8192;

// Starts a new trace file with the line "Version : <version>". When the file cannot be
// created, later records go to standard error.
void TraceStart(const std::filesystem::path& traceFile, std::string_view version);

// Appends "[tag(place)] message" where message is printf-formatted (formats end with "\n").
void Trace(const char* tag, int place, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

}  // namespace kx
