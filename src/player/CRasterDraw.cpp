#include "player/CRasterDraw.h"

#include <QMetaObject>
#include <cstring>

namespace kx {
namespace {

// Smooth scaling only when the picture is really resized; near 1:1 it would only blur.
constexpr int kSmoothScalingThreshold = 9;

}  // namespace

QSize CRasterDraw::WindowSize() const {
    QSize size = window_ ? window_->size() : QSize();
    return size.isEmpty() ? QSize(1, 1) : size;
}

int CRasterDraw::Resize(int width, int height) {
    if (width <= 0 || height <= 0) return kDisplayNone;
    sourceWidth_ = width;
    sourceHeight_ = height;
    source_ = QImage(width, height, QImage::Format_RGB32);
    source_.fill(Qt::black);
    return kDisplayBgra32;
}

int CRasterDraw::Init(int width, int height) {
    if (!window_) return kDisplayNone;
    backBuffer_ = QImage(WindowSize(), QImage::Format_RGB32);
    backBuffer_.fill(Qt::black);
    return Resize(width, height);
}

bool CRasterDraw::Draw(const Picture* picture, int flip, bool /*repaint*/) {
    if (picture) {
        if (picture->displayType != kDisplayBgra32 || !picture->planes[0]) return false;
        if (picture->width != source_.width() || picture->height != source_.height())
            Resize(picture->width, picture->height);
        for (int y = 0; y < picture->height; ++y)
            std::memcpy(source_.scanLine(y),
                        picture->planes[0] + static_cast<std::ptrdiff_t>(y) * picture->strides[0],
                        static_cast<std::size_t>(picture->width) * 4);
    }
    Compose(flip);
    Show();
    return true;
}

void CRasterDraw::Compose(int flip) {
    if (source_.isNull()) return;
    QRect sourceRect = zoom_.empty() ? source_.rect()
                                     : QRect(zoom_.left, zoom_.top, zoom_.width(), zoom_.height());
    QRectF target(0, 0, backBuffer_.width(), backBuffer_.height());
    QPainter painter(&backBuffer_);
    bool resized = std::abs(sourceRect.width() - backBuffer_.width()) > kSmoothScalingThreshold;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, resized);
    // Flips mirror the target around the buffer's centre.
    QTransform mirror;
    mirror.translate(target.width() / 2, target.height() / 2);
    mirror.scale((flip & kFlipLeftRight) ? -1 : 1, (flip & kFlipUpDown) ? -1 : 1);
    mirror.translate(-target.width() / 2, -target.height() / 2);
    painter.setTransform(mirror);
    painter.drawImage(target, source_, sourceRect);
}

void CRasterDraw::Clear() {
    backBuffer_.fill(Qt::black);
    Show();
}

bool CRasterDraw::Check() {
    if (!window_) return false;
    QSize size = WindowSize();
    if (size == backBuffer_.size()) return true;
    // Keep the last picture visible, stretched, until the next one arrives.
    QImage resized(size, QImage::Format_RGB32);
    resized.fill(Qt::black);
    if (!backBuffer_.isNull()) {
        QPainter painter(&resized);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(QPoint(0, 0), size), backBuffer_);
    }
    backBuffer_ = std::move(resized);
    return true;
}

void CRasterDraw::Show() {
    // Draw may run on the play thread; the window repaints on its own thread.
    if (window_) QMetaObject::invokeMethod(window_.data(), "update", Qt::QueuedConnection);
}

void CRasterDraw::PaintOn(QPainter& painter) {
    painter.drawImage(0, 0, backBuffer_);
}

}  // namespace kx
