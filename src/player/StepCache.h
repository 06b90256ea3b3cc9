#pragma once
// The step cache: one second of decoded pictures of one channel in the step file, so that
// stepping backwards costs a file read instead of a decode from the last key frame. A picture
// is stored as its Y rows, then its U rows, then its V rows, each row at the picture width
// (half width and half height for U and V). The front channel's region comes first, the
// rear's after it.
#include <sys/uio.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "player/FfmpegHandles.h"

namespace kx {

class StepCache {
  public:
    // Bytes of one cached picture of this size (4:2:0).
    static std::uint64_t PictureBytes(int width, int height);

    // Lays the cache out at regionStart for `pictures` pictures of width x height; nothing is
    // valid afterwards.
    void Configure(std::uint64_t regionStart, int width, int height, int pictures);

    int size() const { return static_cast<int>(valid_.size()); }
    std::uint64_t regionBytes() const { return PictureBytes(width_, height_) * valid_.size(); }
    bool IsValid(int position) const {
        return position >= 0 && position < size() && valid_[static_cast<std::size_t>(position)];
    }
    void Invalidate();
    void InvalidateAfter(int position);

    // Stores a decoded 4:2:0 picture of the configured size at position and marks it valid.
    bool Write(std::FILE* file, int position, const AVFrame& picture);
    // Reads the picture at position into `picture` (allocated as 4:2:0 of the configured size).
    bool Read(std::FILE* file, int position, AVFrame& picture) const;

    int position = -1;  // the current cache position; -1 when nothing is cached

  private:
    std::uint64_t Offset(int position) const;
    std::vector<iovec> Rows(const AVFrame& picture) const;

    std::uint64_t regionStart_ = 0;
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> valid_;
    // The picture read back last; handed out by reference, its buffer is reused.
    mutable FramePtr readBack_;
};

}  // namespace kx
