#pragma once
// The raster presenter: pictures arrive as 32-bit BGRA (display type 4) and are stretched with
// QPainter onto a back buffer of the window's size, zoom rectangle and flips applied.
#include <QImage>
#include <QPointer>
#include <QWidget>

#include "player/CWidgetDraw.h"

namespace kx {

class CRasterDraw : public CWidgetDraw {
  public:
    explicit CRasterDraw(QWidget* window) : window_(window) {}

    int Resize(int width, int height) override;
    int Init(int width, int height) override;
    bool Draw(const Picture* picture, int flip, bool repaint) override;
    void Clear() override;
    bool Check() override;
    void Show() override;
    void PaintOn(QPainter& painter) override;

    const QImage& backBuffer() const { return backBuffer_; }

  private:
    void Compose(int flip);
    QSize WindowSize() const;

    QPointer<QWidget> window_;
    QImage source_;
    QImage backBuffer_;
};

}  // namespace kx
