#pragma once
// Posting the viewer's numeric messages to a Qt object from any thread. The message becomes a
// MsgEvent in the receiver's event queue; receivers handle it in event().
#include <QEvent>
#include <QObject>
#include <QPointer>

#include "platform/Msg.h"

namespace kx {

class MsgEvent : public QEvent {
  public:
    MsgEvent(Msg msg, std::intptr_t wParam, std::intptr_t lParam)
        : QEvent(EventType()), msg_(msg), wParam_(wParam), lParam_(lParam) {}

    static QEvent::Type EventType();

    Msg msg() const { return msg_; }
    std::intptr_t wParam() const { return wParam_; }
    std::intptr_t lParam() const { return lParam_; }

  private:
    Msg msg_;
    std::intptr_t wParam_;
    std::intptr_t lParam_;
};

// Thread-safe; a null target drops the message.
void postMsg(QObject* target, Msg msg, std::intptr_t wParam = 0, std::intptr_t lParam = 0);

// A MsgTarget for core code (worker threads) that posts to a Qt object. The QPointer keeps a
// message for a window that is already gone from reaching freed memory.
class QtMsgTarget : public MsgTarget {
  public:
    explicit QtMsgTarget(QObject* receiver) : receiver_(receiver) {}
    void Post(Msg msg, std::intptr_t wParam, std::intptr_t lParam) override {
        postMsg(receiver_.data(), msg, wParam, lParam);
    }

  private:
    QPointer<QObject> receiver_;
};

}  // namespace kx
