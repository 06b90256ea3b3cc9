#include "app/Version.h"

#include <cstdio>

namespace kx {

std::string VersionTextFromFileVersion(std::string_view fileVersion) {
    std::string text(fileVersion);
    int first = 0, second = 0, third = 0, fourth = 0;
    if (std::sscanf(text.c_str(), "%d.%d.%d.%d", &first, &second, &third, &fourth) != 4)
        return std::string(kDefaultVersionText);
    char buffer[kVersionTextCapacity];
    std::snprintf(buffer, sizeof buffer, "%d.%02d", first, third);
    return buffer;
}

std::string BuildVersionText() {
    return VersionTextFromFileVersion(KX_VERSION_FULL);
}

}  // namespace kx
