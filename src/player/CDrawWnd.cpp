#include "player/CDrawWnd.h"

#include <QPainter>

#include "player/CWidgetDraw.h"
#include "player/PresenterChoice.h"

namespace kx {

CDrawWnd::CDrawWnd(int channelNumber, SampleIndex& index, QWidget* parent)
    : QWidget(parent), channel_(channelNumber, index) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

int CDrawWnd::CreatePresenter() {
    PresenterChoice::Viewer().Probe();
    return PresenterChoice::Viewer().CreatePresenter(this, channel_);
}

void CDrawWnd::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    std::lock_guard lock(channel_.displayMutex());
    if (auto* draw = dynamic_cast<CWidgetDraw*>(channel_.display().draw.get())) {
        draw->PaintOn(painter);
        return;
    }
    painter.fillRect(rect(), Qt::black);
}

void CDrawWnd::resizeEvent(QResizeEvent*) {
    std::lock_guard lock(channel_.displayMutex());
    if (channel_.display().draw) channel_.display().draw->Check();
    update();
}

}  // namespace kx
