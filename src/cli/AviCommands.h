#pragma once
#include <string>
#include <vector>

namespace kx::cli {

// kxcard info FILE.avi
int RunAviInfo(const std::vector<std::string>& words);
// kxcard samples FILE.avi
int RunAviSamples(const std::vector<std::string>& words);
// kxcard export SRC.avi OUT [--from S] [--to E] [--no-sound] [--front] [--rear]
int RunAviExport(const std::vector<std::string>& words);
// kxcard avi-demo OUT_DIR [--seconds N]
int RunAviDemo(const std::vector<std::string>& words);

}  // namespace kx::cli
