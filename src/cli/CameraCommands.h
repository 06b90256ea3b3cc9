#pragma once
#include <string>
#include <vector>

namespace kx::cli {

// kxcard camera identify ROOT | camera get ROOT [--show-password] | camera put ROOT FILE.json
int RunCamera(const std::vector<std::string>& words);
// kxcard password encode TEXT | password decode HEX
int RunPassword(const std::vector<std::string>& words);

}  // namespace kx::cli
