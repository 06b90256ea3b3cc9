#include "app/CMainFrame.h"

#include "platform/PostMsg.h"

namespace kx {

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QString::fromLatin1(kMainWindowTitle));
    setObjectName(QStringLiteral("CMainFrame"));
    setStyleSheet(QStringLiteral("QMainWindow { background: rgb(5, 10, 16); }"));
}

void CMainFrame::BringToFront() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

bool CMainFrame::event(QEvent* event) {
    if (event->type() == MsgEvent::EventType()) {
        const auto& message = static_cast<const MsgEvent&>(*event);
        if (message.msg() == Msg::SysCommandBringToFront && message.lParam() == 0) BringToFront();
        return true;
    }
    return QMainWindow::event(event);
}

}  // namespace kx
