#pragma once
#include <string>
#include <vector>

namespace kx::cli {

// kxcard devices
int RunDevices(const std::vector<std::string>& words);
// kxcard format TARGET --yes [--sector-size N] [--partition N] [--program-dir DIR]
//        [--language NAME]
int RunFormat(const std::vector<std::string>& words);

}  // namespace kx::cli
