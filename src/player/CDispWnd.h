#pragma once
// The player window: the front picture, the rear picture in a corner overlay, the wait
// indicator, and the mouse on the picture (wheel zoom, drag, right click, double click). It
// owns the synchronised player and its sound device.
#include <QPointer>
#include <memory>

#include "platform/PostMsg.h"
#include "player/CDispSubDlg.h"
#include "player/CDrawWnd.h"
#include "player/CWaitMsg.h"
#include "player/IndexSource.h"
#include "player/SyncPlayer.h"
#include "player/ZoomState.h"

namespace kx {

class CDispWnd : public CDrawWnd {
  public:
    // owner receives the play messages and the full-screen command; wave is the sound device.
    CDispWnd(QObject* owner, int displayScale, std::unique_ptr<WaveOut> wave,
             QWidget* parent = nullptr);
    ~CDispWnd() override;

    bool StartPlay(std::unique_ptr<IndexSource> source, int startOffsetSeconds);
    void StopPlay();
    void Pause(bool on) { player_->Pause(on); }
    void Seek(std::int32_t timeMs) { player_->Seek(timeMs); }
    void SetSpeed(int index) { player_->SetSpeed(index); }
    void Step(bool backward) { player_->Step(backward); }
    // 0 hidden, 1 top-left, 2 top-right, 3 bottom-right, 4 bottom-left.
    void SetPip(int position);
    // Rear picture large, front picture small.
    void Swap(bool on);
    void ShowWait(bool on) { wait_->ShowWait(on); }

    SyncPlayer& player() { return *player_; }
    const ZoomState& zoom() const { return zoom_; }
    CDispSubDlg& pip() { return *pip_; }
    CWaitMsg& waitIndicator() { return *wait_; }
    VideoChannel& rearChannel() { return pip_->rearWindow().channel(); }
    int pipPosition() const { return pipPosition_; }

  protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    bool CreatePresenterFromReader(VideoChannel& channel);
    bool CreatePresenterNow(VideoChannel& channel);
    void ApplyZoom();

    QPointer<QObject> owner_;
    QtMsgTarget ownerTarget_;
    std::unique_ptr<WaveOut> wave_;
    QPointer<CDispSubDlg> pip_;  // children, deleted with this window
    QPointer<CWaitMsg> wait_;
    std::unique_ptr<SyncPlayer> player_;
    ZoomState zoom_;
    int pipPosition_ = 1;
    bool swapped_ = false;
};

}  // namespace kx
