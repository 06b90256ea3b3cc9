#pragma once
// The rear picture over the player: a child overlay holding the rear channel's window.
#include <QTimer>
#include <QWidget>

#include "player/CDrawWnd.h"

namespace kx {

class CDispSubDlg : public QWidget {
  public:
    CDispSubDlg(SampleIndex& rearIndex, QWidget* parent);

    CDrawWnd& rearWindow() { return rear_; }
    // Shows the overlay and, 3 ms later, lets the presenter fit the new size and show again.
    void ShowAndRefresh();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    CDrawWnd rear_;
    QTimer refresh_;
};

}  // namespace kx
