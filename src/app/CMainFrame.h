#pragma once
// The viewer's main window. It holds the main view with every panel; for now it answers the
// bring-to-front command of a second start.
#include <QMainWindow>

namespace kx {

inline constexpr const char* kMainWindowTitle = "KX-TMQ4_Viewer";

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    explicit CMainFrame(QWidget* parent = nullptr);

    // Restores a minimised frame or shows it, and makes it the active window.
    void BringToFront();

  protected:
    bool event(QEvent* event) override;
};

}  // namespace kx
