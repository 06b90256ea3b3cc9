#pragma once
// Later-layout MP4 recordings: FFmpeg demultiplexes the file, every packet is copied into the
// packet file and indexed there.
#include <filesystem>

#include "player/FfmpegHandles.h"
#include "player/IndexSource.h"

namespace kx {

class FfmpegSource : public IndexSource {
  public:
    explicit FfmpegSource(std::filesystem::path path) : path_(std::move(path)) {}

    bool Prepare(SyncPlayer& player) override;
    bool Connect(SyncPlayer& player) override;
    void Walk(SyncPlayer& player) override;
    int PlayMode() const override { return 2; }
    void Release() override { input_.reset(); }

  private:
    std::filesystem::path path_;
    FormatInputPtr input_;
    int videoStream_ = -1;
    int audioStream_ = -1;
};

}  // namespace kx
