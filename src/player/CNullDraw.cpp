#include "player/CNullDraw.h"

#include <cstring>
#include <numeric>

namespace kx {

int CNullDraw::Resize(int width, int height) {
    if (width <= 0 || height <= 0) return kDisplayNone;
    sourceWidth_ = width;
    sourceHeight_ = height;
    return displayType_;
}

bool CNullDraw::Draw(const Picture* picture, int flip, bool /*repaint*/) {
    ++draws_;
    lastFlip_ = flip;
    if (!picture || !keepPictures_) {
        Show();
        return true;
    }
    lastWidth_ = picture->width;
    lastHeight_ = picture->height;
    last_.clear();
    auto copyPlane = [this](const std::uint8_t* data, int stride, int rowBytes, int rows) {
        for (int y = 0; y < rows; ++y)
            last_.insert(last_.end(), data + static_cast<std::ptrdiff_t>(y) * stride,
                         data + static_cast<std::ptrdiff_t>(y) * stride + rowBytes);
    };
    if (NeedsConversion(picture->displayType)) {
        int bytesPerPixel = picture->displayType == kDisplayYuy2 ? 2 : picture->displayType;
        copyPlane(picture->planes[0], picture->strides[0], picture->width * bytesPerPixel,
                  picture->height);
        lumaBytes_ = last_.size();
    } else {
        int chromaWidth = (picture->width + 1) / 2, chromaHeight = (picture->height + 1) / 2;
        copyPlane(picture->planes[0], picture->strides[0], picture->width, picture->height);
        lumaBytes_ = last_.size();
        copyPlane(picture->planes[1], picture->strides[1], chromaWidth, chromaHeight);
        copyPlane(picture->planes[2], picture->strides[2], chromaWidth, chromaHeight);
    }
    Show();
    return true;
}

void CNullDraw::Clear() {
    std::fill(last_.begin(), last_.end(), 0);
    Show();
}

double CNullDraw::LastMeanLevel() const {
    if (lumaBytes_ == 0) return 0;
    double sum = std::accumulate(last_.begin(),
                                 last_.begin() + static_cast<std::ptrdiff_t>(lumaBytes_), 0.0);
    return sum / static_cast<double>(lumaBytes_);
}

}  // namespace kx
