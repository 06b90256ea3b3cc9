#pragma once
// AVI recordings of the camera's older layout: the first video stream is the front, the next
// one the rear; PCM sound; "GPSR" and "SENS" text streams with the GPS sentences and the
// G-sensor samples. The AVI index is walked once while the player waits, paused.
#include <filesystem>
#include <functional>

#include "containers/AviFormat.h"
#include "player/IndexSource.h"

namespace kx {

// GPS and G-sensor chunks are read into a buffer of this size; longer chunks are cut.
inline constexpr std::size_t kAviSensorChunkCapacity = 128;

class AviSource : public IndexSource {
  public:
    // showRear: the rear picture is wanted (picture-in-picture not hidden).
    AviSource(std::filesystem::path path, bool showRear);

    bool Prepare(SyncPlayer& player) override;
    void Walk(SyncPlayer& player) override;
    bool StartsPaused() const override { return true; }
    void Release() override;

    // Receive the payloads of the GPS and G-sensor chunks in file order; the sensor handler
    // returns the number of acceleration bytes it produced so far.
    std::function<void(const std::uint8_t* data, std::size_t size)> onGpsChunk;
    std::function<std::size_t(const std::uint8_t* data, std::size_t size)> onSensorChunk;

    const AVIFILEINFO& info() const { return info_; }

  private:
    std::filesystem::path path_;
    bool showRear_;
    AVIFILEINFO info_;
    int frontStream_ = -1, rearStream_ = -1, audioStream_ = -1, gpsStream_ = -1, sensorStream_ = -1;
};

}  // namespace kx
