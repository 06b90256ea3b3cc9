#pragma once
#include <string>
#include <vector>

namespace kx::cli {

// kxcard version
int RunVersion(const std::vector<std::string>& words);
// kxcard text KEY SECTION [--program-dir DIR] [--language NAME]
int RunText(const std::vector<std::string>& words);

}  // namespace kx::cli
