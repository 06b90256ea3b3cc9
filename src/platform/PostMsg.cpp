#include "platform/PostMsg.h"

#include <QCoreApplication>

namespace kx {

QEvent::Type MsgEvent::EventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void postMsg(QObject* target, Msg msg, std::intptr_t wParam, std::intptr_t lParam) {
    if (!target) return;
    QCoreApplication::postEvent(target, new MsgEvent(msg, wParam, lParam));
}

}  // namespace kx
