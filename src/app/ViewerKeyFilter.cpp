#include "app/ViewerKeyFilter.h"

#include <QKeyEvent>

namespace kx {

void ViewerKeyFilter::SetHandler(KeyAction action, Handler handler) {
    switch (action) {
        case KeyAction::Escape:
            escape_ = std::move(handler);
            break;
        case KeyAction::PlayPause:
            playPause_ = std::move(handler);
            break;
        case KeyAction::StepBackward:
            stepBackward_ = std::move(handler);
            break;
        case KeyAction::StepForward:
            stepForward_ = std::move(handler);
            break;
        case KeyAction::None:
            break;
    }
}

KeyMessage ViewerKeyFilter::MessageOf(const QKeyEvent& event) {
    // With Alt held (or for Alt itself) the desktop reports system keys.
    bool system = event.key() == Qt::Key_Alt || (event.modifiers() & Qt::AltModifier);
    if (event.type() == QEvent::KeyPress)
        return system ? KeyMessage::SysKeyDown : KeyMessage::KeyDown;
    return system && event.key() != Qt::Key_Alt ? KeyMessage::SysKeyUp : KeyMessage::KeyUp;
}

int ViewerKeyFilter::VirtualKeyOf(const QKeyEvent& event) {
    bool keypad = event.modifiers() & Qt::KeypadModifier;
    switch (event.key()) {
        case Qt::Key_Alt:
            return kVkMenu;
        case Qt::Key_T:
            return kVkT;
        case Qt::Key_Escape:
            return kVkEscape;
        case Qt::Key_Space:
            return kVkSpace;
        case Qt::Key_Left:
            return kVkLeft;
        case Qt::Key_Right:
            return kVkRight;
        case Qt::Key_4:
            return keypad ? kVkNumpad4 : 0;
        case Qt::Key_6:
            return keypad ? kVkNumpad6 : 0;
        default:
            return 0;
    }
}

bool ViewerKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    // Key input reaches the top-level QWindow first and is then passed on to the focus widget;
    // acting on the window's copy alone handles each key exactly once.
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
        watched->isWindowType()) {
        const auto& key = static_cast<const QKeyEvent&>(*event);
        const Handler* handler = nullptr;
        switch (filter_.OnKey(MessageOf(key), VirtualKeyOf(key))) {
            case KeyAction::Escape:
                handler = &escape_;
                break;
            case KeyAction::PlayPause:
                handler = &playPause_;
                break;
            case KeyAction::StepBackward:
                handler = &stepBackward_;
                break;
            case KeyAction::StepForward:
                handler = &stepForward_;
                break;
            case KeyAction::None:
                break;
        }
        if (handler && *handler) (*handler)();
    }
    return QObject::eventFilter(watched, event);  // never swallow the key
}

}  // namespace kx
