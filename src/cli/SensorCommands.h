#pragma once
#include <string>
#include <vector>

namespace kx::cli {

// kxcard gps FILE [--format json|gpx|kml|csv] | gps FILE --at MS
int RunGps(const std::vector<std::string>& words);
// kxcard accel FILE
int RunAccel(const std::vector<std::string>& words);

}  // namespace kx::cli
