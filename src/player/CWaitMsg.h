#pragma once
// The wait indicator: a translucent 100 x 100 animation of twelve images over the centre of
// the player while it waits for its reader.
#include <QTimer>
#include <QWidget>

namespace kx {

inline constexpr int kWaitFrames = 12;
inline constexpr int kWaitFrameMs = 100;
inline constexpr int kWaitSize = 100;
inline constexpr int kWaitAlpha = 160;

class CWaitMsg : public QWidget {
  public:
    CWaitMsg(QWidget* parent, int displayScale);

    void ShowWait(bool on);
    // Centres the indicator on its parent.
    void Place();
    int frame() const { return frame_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QTimer timer_;
    int frame_ = 0;
    int scale_ = 1;
};

}  // namespace kx
