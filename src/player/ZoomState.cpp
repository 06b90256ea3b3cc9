#include "player/ZoomState.h"

#include <cmath>

namespace kx {
namespace {

int Even(int value) {
    return value & ~1;
}

}  // namespace

void ZoomState::SetPicture(int width, int height) {
    width_ = width;
    height_ = height;
    stepX_ = width / kZoomStepDivisor;
    stepY_ = height / kZoomStepDivisor;
    level_ = 0;
    rect_ = {0, 0, width, height};
    dragging_ = false;
}

void ZoomState::SetWindowSize(int width, int height) {
    halfWidth_ = width > 0 ? width / 2.0 : 1;
    halfHeight_ = height > 0 ? height / 2.0 : 1;
}

void ZoomState::Offset(int mouseX, int mouseY, int& dx, int& dy) const {
    dx = static_cast<int>((mouseX - halfWidth_) / halfWidth_ * stepX_);
    dy = static_cast<int>((mouseY - halfHeight_) / halfHeight_ * stepY_);
}

void ZoomState::MakeEven() {
    rect_.left = Even(rect_.left);
    rect_.top = Even(rect_.top);
    rect_.right = Even(rect_.right);
    rect_.bottom = Even(rect_.bottom);
}

bool ZoomState::ZoomIn(int mouseX, int mouseY) {
    if (level_ >= kMaxZoomLevel || width_ <= 0 || height_ <= 0) return false;
    int dx = 0, dy = 0;
    Offset(mouseX, mouseY, dx, dy);
    ++level_;
    rect_.left += stepX_ + dx;
    rect_.right += -stepX_ + dx;
    rect_.top += stepY_ + dy;
    rect_.bottom += -stepY_ + dy;
    MakeEven();
    return true;
}

bool ZoomState::ZoomOut(int mouseX, int mouseY) {
    if (level_ <= 0) return false;
    if (--level_ == 0) {
        rect_ = {0, 0, width_, height_};
        return true;
    }
    int dx = 0, dy = 0;
    Offset(mouseX, mouseY, dx, dy);
    rect_.left += -stepX_ - dx;
    rect_.right += stepX_ - dx;
    rect_.top += -stepY_ - dy;
    rect_.bottom += stepY_ - dy;
    if (rect_.left < 0) {
        rect_.right -= rect_.left;
        rect_.left = 0;
    } else if (rect_.right > width_) {
        rect_.left -= rect_.right - width_;
        rect_.right = width_;
    }
    if (rect_.top < 0) {
        rect_.bottom -= rect_.top;
        rect_.top = 0;
    } else if (rect_.bottom > height_) {
        rect_.top -= rect_.bottom - height_;
        rect_.bottom = height_;
    }
    MakeEven();
    return true;
}

void ZoomState::StartDrag(int x, int y) {
    if (!zoomed()) return;
    dragging_ = true;
    lastX_ = x;
    lastY_ = y;
}

bool ZoomState::DragTo(int x, int y) {
    if (!dragging_) return false;
    int dx = lastX_ - x, dy = lastY_ - y;
    if (static_cast<int>(std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy)) <=
        kDragThreshold)
        return false;
    if (rect_.left + dx < 0)
        dx = -rect_.left;
    else if (rect_.right + dx > width_)
        dx = width_ - rect_.right;
    if (rect_.top + dy < 0)
        dy = -rect_.top;
    else if (rect_.bottom + dy > height_)
        dy = height_ - rect_.bottom;
    rect_.left += dx;
    rect_.right += dx;
    rect_.top += dy;
    rect_.bottom += dy;
    MakeEven();
    lastX_ = x;
    lastY_ = y;
    return true;
}

bool ZoomState::Reset() {
    if (!zoomed()) return false;
    level_ = 0;
    rect_ = {0, 0, width_, height_};
    dragging_ = false;
    return true;
}

void ZoomState::Rescale(int width, int height) {
    int oldWidth = width_, oldHeight = height_;
    int level = level_;
    PictureRect old = rect_;
    SetPicture(width, height);
    if (level == 0 || oldWidth <= 0 || oldHeight <= 0) return;
    level_ = level;
    rect_.left = Even(old.left * width / oldWidth);
    rect_.top = Even(old.top * height / oldHeight);
    rect_.right = Even(rect_.left + width - 2 * level * stepX_);
    rect_.bottom = Even(rect_.top + height - 2 * level * stepY_);
}

PictureRect PipPlacement(int position, const PictureRect& player) {
    int a = player.width() / 3, b = player.height() / 3;
    switch (position) {
        case 1:
            return {player.left, player.top, player.left + a, player.top + b};
        case 2:
            return {player.right - a, player.top, player.right, player.top + b};
        case 3:
            return {player.right - a, player.bottom - b, player.right, player.bottom};
        case 4:
            return {player.left, player.bottom - b, player.left + a, player.bottom};
        default:
            return {};
    }
}

}  // namespace kx
