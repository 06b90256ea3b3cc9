#pragma once
// The key filter as an application event filter. Actions on panels are connected by the panels
// that own them; the filter itself only decides and never consumes the event.
#include <QObject>
#include <functional>

#include "app/KeyFilter.h"

class QKeyEvent;

namespace kx {

class ViewerKeyFilter : public QObject {
    Q_OBJECT
  public:
    using Handler = std::function<void()>;

    explicit ViewerKeyFilter(QObject* parent = nullptr) : QObject(parent) {}

    void SetHandler(KeyAction action, Handler handler);

    // The key message and key code of a Qt key event as the filter sees them.
    static KeyMessage MessageOf(const QKeyEvent& event);
    static int VirtualKeyOf(const QKeyEvent& event);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    KeyFilter filter_;
    Handler escape_, playPause_, stepBackward_, stepForward_;
};

}  // namespace kx
