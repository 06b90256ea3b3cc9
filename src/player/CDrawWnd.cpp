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
    std::lock_guard lock(shown_->displayMutex());
    if (auto* draw = dynamic_cast<CWidgetDraw*>(shown_->display().draw.get())) {
        draw->PaintOn(painter);
        return;
    }
    painter.fillRect(rect(), Qt::black);
}

void CDrawWnd::resizeEvent(QResizeEvent*) {
    std::lock_guard lock(shown_->displayMutex());
    if (shown_->display().draw) shown_->display().draw->Check();
    update();
}

}  // namespace kx
