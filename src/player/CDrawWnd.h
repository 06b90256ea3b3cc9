#pragma once
// The picture of one camera channel: a child window around a VideoChannel, painted by the
// channel's presenter.
#include <QWidget>

#include "player/VideoChannel.h"

namespace kx {

class CDrawWnd : public QWidget {
    Q_OBJECT
  public:
    CDrawWnd(int channelNumber, SampleIndex& index, QWidget* parent = nullptr);

    VideoChannel& channel() { return channel_; }
    // Chooses and initialises the presenter for the channel's picture size.
    int CreatePresenter();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    VideoChannel channel_;
};

}  // namespace kx
