#pragma once
// Zoom and pan of the player's picture: the wheel zooms towards the mouse in ten levels, a drag
// pans the zoomed picture, a right click shows the whole picture again. All rectangle edges are
// kept even (the picture's chroma is half size).
#include "player/Picture.h"

namespace kx {

inline constexpr int kMaxZoomLevel = 9;
inline constexpr int kZoomStepDivisor = 20;
// A drag moves the picture only once the mouse went further than this (window pixels).
inline constexpr int kDragThreshold = 3;

class ZoomState {
  public:
    // A new picture: whole picture shown, steps of a twentieth of its size.
    void SetPicture(int width, int height);
    // The player window's client size.
    void SetWindowSize(int width, int height);

    // The wheel: true when something changed.
    bool ZoomIn(int mouseX, int mouseY);
    bool ZoomOut(int mouseX, int mouseY);
    // A drag from the last point to (x, y); true when the rectangle moved (and the point is
    // then remembered).
    bool DragTo(int x, int y);
    void StartDrag(int x, int y);
    void EndDrag() { dragging_ = false; }
    bool dragging() const { return dragging_; }
    // Back to the whole picture; true when it was zoomed.
    bool Reset();
    // The picture size changed (front and rear exchanged): the rectangle keeps its place.
    void Rescale(int width, int height);

    int level() const { return level_; }
    bool zoomed() const { return level_ > 0; }
    // The presenter's zoom rectangle: empty (whole picture) when not zoomed.
    PictureRect PresenterZoom() const { return zoomed() ? rect_ : PictureRect{}; }
    const PictureRect& rect() const { return rect_; }

  private:
    void Offset(int mouseX, int mouseY, int& dx, int& dy) const;
    void MakeEven();

    int level_ = 0;
    int stepX_ = 0, stepY_ = 0;
    int width_ = 0, height_ = 0;
    double halfWidth_ = 1, halfHeight_ = 1;
    PictureRect rect_;
    bool dragging_ = false;
    int lastX_ = 0, lastY_ = 0;
};

// Where the rear picture goes over the player: 1 top-left, 2 top-right, 3 bottom-right,
// 4 bottom-left, a third of the player's width and height; 0 (hidden) gives an empty rectangle.
PictureRect PipPlacement(int position, const PictureRect& player);

}  // namespace kx
