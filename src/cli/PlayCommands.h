#pragma once
#include <string>
#include <vector>

namespace kx::cli {

// kxcard play FILE [--rear FILE] [--speed 0-3] [--start S] [--script CMDS] [--fast]
int RunPlay(const std::vector<std::string>& words);

}  // namespace kx::cli
