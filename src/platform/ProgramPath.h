#pragma once
#include <filesystem>
#include <string_view>

namespace kx {

inline constexpr std::string_view kViewerExecutableName = "KX-TMQ4_Viewer";

// The full path of the running executable (empty when the system does not tell).
std::filesystem::path ExecutablePath();

// The viewer's program path: the folder of the executable when it carries the viewer's own
// name, otherwise the executable's full path unchanged (a renamed copy finds no program files).
std::filesystem::path ViewerProgramPath(const std::filesystem::path& executable);

// The folder of the running executable, whatever its name (used by the command-line tool).
std::filesystem::path ExecutableFolder();

}  // namespace kx
