#pragma once
// A presenter that paints into its window's paint event (under the worker's display mutex).
#include <QPainter>

#include "player/CDraw.h"

namespace kx {

class CWidgetDraw : public CDraw {
  public:
    virtual void PaintOn(QPainter& painter) = 0;
};

}  // namespace kx
