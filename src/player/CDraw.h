#pragma once
// A presenter puts decoded pictures on one worker window. It tells the worker, by its display
// type, in which pixel layout it wants them. Every call is made under the worker's display
// mutex; presenters take no lock of their own.
#include <memory>

#include "player/Picture.h"

namespace kx {

class CDraw {
  public:
    virtual ~CDraw() = default;
    // The source picture size changed; the display type, 0 on failure.
    virtual int Resize(int width, int height) = 0;
    // Creates what the presenter needs for pictures of this size; the display type, 0 on failure.
    virtual int Init(int width, int height) = 0;
    // Shows a picture (null: the last one again) with the flip bits.
    virtual bool Draw(const Picture* picture, int flip, bool repaint) = 0;
    // Fills the picture area black and shows it.
    virtual void Clear() = 0;
    // Makes sure the presenter still fits its window; false when it is not usable.
    virtual bool Check() = 0;
    // Puts the composed picture on the window.
    virtual void Show() = 0;

    void SetZoom(const PictureRect& zoom) { zoom_ = zoom; }
    const PictureRect& zoom() const { return zoom_; }
    int sourceWidth() const { return sourceWidth_; }
    int sourceHeight() const { return sourceHeight_; }

  protected:
    PictureRect zoom_;
    int sourceWidth_ = 0;
    int sourceHeight_ = 0;
};

// Holds the presenter of one worker.
struct CDrawDisp {
    std::unique_ptr<CDraw> draw;
};

}  // namespace kx
