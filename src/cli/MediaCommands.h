#pragma once
// kxcard commands over MP4 recordings and the demo card.
#include <string>
#include <vector>

namespace kx::cli {

int RunInfo(const std::vector<std::string>& words);
int RunSamples(const std::vector<std::string>& words);
int RunExport(const std::vector<std::string>& words);
int RunMakeDemo(const std::vector<std::string>& words);

}  // namespace kx::cli
