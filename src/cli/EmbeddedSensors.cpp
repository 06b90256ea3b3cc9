#include "cli/EmbeddedSensors.h"

namespace kx::cli {

std::optional<SensorSource> ReadEmbeddedSensors(const std::filesystem::path& recording, bool avi,
                                                EmbeddedSensorStorage& storage) {
    // Not connected yet: the MP4 and AVI readers are built separately (see the header).
    (void)recording;
    (void)avi;
    (void)storage;
    return std::nullopt;
}

}  // namespace kx::cli
