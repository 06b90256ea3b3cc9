#include "player/CWaitMsg.h"

#include <QPainter>
#include <cmath>

namespace kx {

CWaitMsg::CWaitMsg(QWidget* parent, int displayScale) : QWidget(parent), scale_(displayScale) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(kWaitSize * scale_, kWaitSize * scale_);
    timer_.setInterval(kWaitFrameMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % kWaitFrames;
        update();
    });
    hide();
}

void CWaitMsg::ShowWait(bool on) {
    if (on) {
        Place();
        timer_.start();
        show();
        raise();
    } else {
        timer_.stop();
        hide();
        frame_ = 0;
    }
}

void CWaitMsg::Place() {
    if (!parentWidget()) return;
    move((parentWidget()->width() - width()) / 2, (parentWidget()->height() - height()) / 2);
}

// Twelve spokes around the centre; the spoke of the current frame is the brightest and the
// ones behind it fade, so the ring seems to turn.
void CWaitMsg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double size = width();
    painter.translate(size / 2, size / 2);
    for (int spoke = 0; spoke < kWaitFrames; ++spoke) {
        int age = (frame_ - spoke + kWaitFrames) % kWaitFrames;
        int alpha = kWaitAlpha * (kWaitFrames - age) / kWaitFrames;
        painter.save();
        painter.rotate(360.0 * spoke / kWaitFrames);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(242, 242, 242, alpha));
        painter.drawRoundedRect(QRectF(-size * 0.04, -size * 0.42, size * 0.08, size * 0.2),
                                size * 0.04, size * 0.04);
        painter.restore();
    }
    painter.setPen(QColor(242, 242, 242, kWaitAlpha));
    QFont font = painter.font();
    font.setPixelSize(static_cast<int>(size * 0.16));
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRectF(-size / 2, -size / 2, size, size), Qt::AlignCenter,
                     QStringLiteral("WAIT"));
}

}  // namespace kx
