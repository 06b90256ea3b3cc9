#include "platform/ProgramPath.h"

#include <system_error>

namespace kx {

std::filesystem::path ExecutablePath() {
    std::error_code error;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path{} : path;
}

std::filesystem::path ViewerProgramPath(const std::filesystem::path& executable) {
    if (executable.filename() == kViewerExecutableName) return executable.parent_path();
    return executable;
}

std::filesystem::path ExecutableFolder() {
    return ExecutablePath().parent_path();
}

}  // namespace kx
