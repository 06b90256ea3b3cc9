#pragma once
#include <string>
#include <vector>

namespace kx::cli {

// kxcard scan DIR [--probe] [--summary]: --summary prints only the last line
int RunScan(const std::vector<std::string>& words);
// kxcard daymap DIR
int RunDayMap(const std::vector<std::string>& words);
// kxcard cards [--volumes LIST] [--settings-dir DIR]
int RunCards(const std::vector<std::string>& words);
// kxcard copy DIR NAME DEST
int RunCopy(const std::vector<std::string>& words);
// kxcard delete DIR NAME...
int RunDelete(const std::vector<std::string>& words);

}  // namespace kx::cli
