#include "app/Trace.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

namespace kx {
namespace {

std::mutex traceMutex;
std::filesystem::path traceFilePath;  // guarded by traceMutex; empty until started

}  // namespace

void TraceStart(const std::filesystem::path& traceFile, std::string_view version) {
    std::lock_guard lock(traceMutex);
    traceFilePath = traceFile;
    if (std::FILE* file = std::fopen(traceFile.c_str(), "w")) {
        std::fprintf(file, "Version : %.*s\n", static_cast<int>(version.size()), version.data());
        std::fclose(file);
    }
}

void Trace(const char* tag, int place, const char* format, ...) {
    char message[kTraceMessageCapacity];
    va_list arguments;
    va_start(arguments, format);
    int length = std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof message) return;

    // One lock per record keeps records of several threads from mixing.
    std::lock_guard lock(traceMutex);
    std::FILE* file = traceFilePath.empty() ? nullptr : std::fopen(traceFilePath.c_str(), "a");
    if (!file) {
        std::fprintf(stderr, "[%s(%d)] %s", tag ? tag : "", place, message);
        return;
    }
    std::fprintf(file, "[%s(%d)] %s", tag ? tag : "", place, message);
    std::fclose(file);
}

}  // namespace kx
