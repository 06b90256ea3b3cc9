#include "player/PresenterChoice.h"

#include <QGuiApplication>

#include "player/CGlDraw.h"
#include "player/CRasterDraw.h"
#include "player/VideoChannel.h"

namespace kx {

PresenterChoice& PresenterChoice::Viewer() {
    static PresenterChoice choice({
        {"opengl", false,
         [](QWidget* window, VideoChannel& channel) -> std::unique_ptr<CDraw> {
             return std::make_unique<CGlDraw>(window, channel.displayMutex());
         }},
        {"raster", true,
         [](QWidget* window, VideoChannel&) -> std::unique_ptr<CDraw> {
             return std::make_unique<CRasterDraw>(window);
         }},
    });
    return choice;
}

void PresenterChoice::Probe() {
    // Only the first probe decides; a kind that failed later stays off.
    if (probed_) return;
    probed_ = true;
    for (PresenterKind& kind : kinds_)
        if (std::string_view(kind.name) == "opengl") kind.usable = CGlDraw::Probe();
}

int PresenterChoice::CreatePresenter(QWidget* window, VideoChannel& channel) {
    for (PresenterKind& kind : kinds_) {
        if (!kind.usable) continue;
        if (channel.CreatePresenter(kind.make(window, channel))) return channel.displayType();
        kind.usable = false;
    }
    return kDisplayNone;
}

}  // namespace kx
