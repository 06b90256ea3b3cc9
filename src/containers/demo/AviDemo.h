#pragma once
// Demo recordings of the camera's older AVI layout, for the demo card and for tests: H.264 video
// in Annex-B form (front, and rear when both cameras are recorded), 16-bit PCM sound, a "GPSR"
// stream of NMEA RMC sentences once a second and a "SENS" stream of three little-endian floats
// twice per video frame. Chunks are written as the camera writes them: no pad byte after an
// odd-sized chunk.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kx {

struct AviDemoOptions {
    int seconds = 10;
    int framesPerSecond = 30;
    int width = 320;
    int height = 192;
    bool frontCamera = true;  // stream 0 (or the only video stream)
    bool rearCamera = true;   // a second video stream
    bool withSound = true;
    int soundRate = 16000;     // mono, 16-bit
    bool cutShort = false;     // no idx1, header sizes of an earlier moment, a chunk cut off
    int startHhmmss = 120000;  // time of day of the first GPS sentence
    int dateYyyymmdd = 20190412;
};

// Writes one recording to path. false with a message in error on failure.
bool WriteAviDemoRecording(const std::filesystem::path& path, const AviDemoOptions& options,
                           std::string& error);

// The name (without extension) of a recording in the scheme the file list reads for AVI files:
// a 10-character prefix (its fourth character 1 when the file holds both cameras, "evt" first for
// an event), date yyyymmdd at 10-17, time hhmmss at 19-24, then "_<camera>_<kind>".
std::string AviDemoName(int yyyymmdd, int hhmmss, bool bothCameras, char camera, char kind,
                        int number);

// Writes the demo set into folder: a two-camera recording, an event recording, a rear-only
// recording and a two-camera recording cut short without idx1. Returns the written files.
std::vector<std::filesystem::path> WriteAviDemoSet(const std::filesystem::path& folder, int seconds,
                                                   std::string& error);

}  // namespace kx
