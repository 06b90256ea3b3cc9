#pragma once
// Which presenter a player window gets: the fastest kind that works, tried in order. A kind
// whose Init fails once is not tried again while the process runs.
#include <functional>
#include <memory>
#include <vector>

#include "player/CDraw.h"

class QWidget;

namespace kx {

class VideoChannel;

struct PresenterKind {
    const char* name;
    bool usable;  // cleared for good when an Init of this kind fails
    std::function<std::unique_ptr<CDraw>(QWidget* window, VideoChannel& channel)> make;
};

class PresenterChoice {
  public:
    // OpenGL first (when the probe finds a context), then the raster presenter.
    static PresenterChoice& Viewer();

    explicit PresenterChoice(std::vector<PresenterKind> kinds) : kinds_(std::move(kinds)) {}

    // Runs the display probe (once per player window): decides whether OpenGL is usable.
    void Probe();
    // Gives the channel the first presenter kind whose Init succeeds; the display type.
    int CreatePresenter(QWidget* window, VideoChannel& channel);

    const std::vector<PresenterKind>& kinds() const { return kinds_; }

  private:
    std::vector<PresenterKind> kinds_;
    bool probed_ = false;
};

}  // namespace kx
