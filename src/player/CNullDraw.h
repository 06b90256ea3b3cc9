#pragma once
// A presenter without a window: counts the pictures and keeps a copy of the last one. Used when
// there is no display (tests, benchmarks, headless runs).
#include <cstdint>
#include <vector>

#include "player/CDraw.h"

namespace kx {

class CNullDraw : public CDraw {
  public:
    // keepPictures off: only count (benchmarks, where the copy would be measured too).
    explicit CNullDraw(int displayType = kDisplayYv12, bool keepPictures = true)
        : displayType_(displayType), keepPictures_(keepPictures) {}

    int Resize(int width, int height) override;
    int Init(int width, int height) override { return Resize(width, height); }
    bool Draw(const Picture* picture, int flip, bool repaint) override;
    void Clear() override;
    bool Check() override { return true; }
    void Show() override { ++shows_; }

    int draws() const { return draws_; }
    int shows() const { return shows_; }
    int lastFlip() const { return lastFlip_; }
    // The last picture as tightly packed planes (planar: Y, then U, then V).
    const std::vector<std::uint8_t>& lastPicture() const { return last_; }
    int lastWidth() const { return lastWidth_; }
    int lastHeight() const { return lastHeight_; }
    // The mean of the luma (planar) or of all bytes (packed) of the last picture.
    double LastMeanLevel() const;

  private:
    int displayType_;
    bool keepPictures_;
    int draws_ = 0;
    int shows_ = 0;
    int lastFlip_ = 0;
    int lastWidth_ = 0;
    int lastHeight_ = 0;
    std::size_t lumaBytes_ = 0;
    std::vector<std::uint8_t> last_;
};

}  // namespace kx
