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
    // The channel whose presenter paints into this window (its own, or the other one while
    // front and rear are exchanged).
    void SetShownChannel(VideoChannel* channel) { shown_ = channel ? channel : &channel_; }
    VideoChannel& shownChannel() { return *shown_; }
    // Chooses and initialises the presenter for the channel's picture size.
    int CreatePresenter();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    VideoChannel channel_;
    VideoChannel* shown_ = &channel_;
};

}  // namespace kx
