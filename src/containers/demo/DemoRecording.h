#pragma once
// Writes one demo recording in the camera's layout from encoded pictures and sound.
#include <cstdint>
#include <filesystem>
#include <string>

#include "containers/demo/DemoEncoder.h"

namespace kx::demo {

struct RecordingSpec {
    const EncodedVideo* video = nullptr;
    const EncodedAudio* audio = nullptr;  // none: a recording without sound
    std::uint64_t startTimeMs = 0;        // the sttm start time
    std::string model = "KX-TMQ4";
    bool laterLayout = false;       // kvnm version 4, no sample records, no kvrh
    std::string gpsText;            // embedded as a "gps " box when not empty
    std::string accRecords;         // embedded as a "3gf " box (end marker added) when not empty
    std::string gps2Records;        // embedded as a "gps2" box when not empty
    std::uint32_t moovReserve = 0;  // room reserved for the moov in front of the mdat
    // Cut short: no moov and the last sample record torn, as when the power is lost.
    bool cutShort = false;
};

// Writes the recording; false with a reason on failure.
bool WriteRecording(const std::filesystem::path& path, const RecordingSpec& spec,
                    std::string& error);

}  // namespace kx::demo
