#include "player/StepCache.h"

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace kx {
namespace {

int ChromaSize(int size) {
    return (size + 1) / 2;
}

bool IsPlanar420(int format) {
    return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P;
}

}  // namespace

std::uint64_t StepCache::PictureBytes(int width, int height) {
    if (width <= 0 || height <= 0) return 0;
    return static_cast<std::uint64_t>(width) * height +
           2ull * ChromaSize(width) * ChromaSize(height);
}

void StepCache::Configure(std::uint64_t regionStart, int width, int height, int pictures) {
    regionStart_ = regionStart;
    width_ = width;
    height_ = height;
    valid_.assign(pictures > 0 ? static_cast<std::size_t>(pictures) : 0, 0);
    position = -1;
}

void StepCache::Invalidate() {
    std::fill(valid_.begin(), valid_.end(), 0);
    position = -1;
}

void StepCache::InvalidateAfter(int position) {
    for (int i = position + 1; i < size(); ++i) valid_[static_cast<std::size_t>(i)] = 0;
}

std::uint64_t StepCache::Offset(int position) const {
    return regionStart_ + PictureBytes(width_, height_) * static_cast<std::uint64_t>(position);
}

bool StepCache::Write(std::FILE* file, int position, const AVFrame& picture) {
    if (!file || position < 0 || position >= size()) return false;
    if (picture.width != width_ || picture.height != height_ || !IsPlanar420(picture.format))
        return false;
    valid_[static_cast<std::size_t>(position)] = 0;
    if (fseeko(file, static_cast<off_t>(Offset(position)), SEEK_SET) != 0) return false;
    const int widths[3] = {width_, ChromaSize(width_), ChromaSize(width_)};
    const int heights[3] = {height_, ChromaSize(height_), ChromaSize(height_)};
    for (int plane = 0; plane < 3; ++plane)
        for (int y = 0; y < heights[plane]; ++y) {
            const std::uint8_t* row =
                picture.data[plane] + static_cast<std::ptrdiff_t>(y) * picture.linesize[plane];
            if (std::fwrite(row, 1, static_cast<std::size_t>(widths[plane]), file) !=
                static_cast<std::size_t>(widths[plane]))
                return false;
        }
    valid_[static_cast<std::size_t>(position)] = 1;
    return true;
}

bool StepCache::Read(std::FILE* file, int position, AVFrame& picture) const {
    if (!file || !IsValid(position)) return false;
    av_frame_unref(&picture);
    picture.format = AV_PIX_FMT_YUV420P;
    picture.width = width_;
    picture.height = height_;
    if (av_frame_get_buffer(&picture, 0) < 0) return false;
    if (fseeko(file, static_cast<off_t>(Offset(position)), SEEK_SET) != 0) return false;
    const int widths[3] = {width_, ChromaSize(width_), ChromaSize(width_)};
    const int heights[3] = {height_, ChromaSize(height_), ChromaSize(height_)};
    for (int plane = 0; plane < 3; ++plane)
        for (int y = 0; y < heights[plane]; ++y) {
            std::uint8_t* row =
                picture.data[plane] + static_cast<std::ptrdiff_t>(y) * picture.linesize[plane];
            if (std::fread(row, 1, static_cast<std::size_t>(widths[plane]), file) !=
                static_cast<std::size_t>(widths[plane]))
                return false;
        }
    return true;
}

}  // namespace kx
