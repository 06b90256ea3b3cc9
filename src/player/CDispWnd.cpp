#include "player/CDispWnd.h"

#include <QMouseEvent>
#include <QThread>
#include <QWheelEvent>
#include <condition_variable>

#include "app/ViewerSettings.h"
#include "player/PresenterChoice.h"

namespace kx {
namespace {

// A presenter asked for by the reader thread and made on the window's thread. The reader
// gives up when the player stops meanwhile, so a stop never waits for it.
struct PresenterRequest {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool abandoned = false;
    bool result = false;
};

}  // namespace

CDispWnd::CDispWnd(QObject* owner, int displayScale, std::unique_ptr<WaveOut> wave, QWidget* parent)
    : CDrawWnd(0, ProcessPlayerIndexes().front, parent),
      owner_(owner),
      ownerTarget_(owner),
      wave_(std::move(wave)),
      pip_(new CDispSubDlg(ProcessPlayerIndexes().rear, this)),
      wait_(new CWaitMsg(this, displayScale)) {
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    PlayerEnvironment environment;
    environment.owner = &ownerTarget_;
    environment.wave = wave_.get();
    environment.stepFile = [](std::uint64_t bytes) { return Settings().StepFile(bytes); };
    environment.openPacketFile = [] { return Settings().OpenPacketFile(); };
    environment.releasePacketFile = [] { Settings().ReleasePacketFile(); };
    environment.createPresenter = [this](VideoChannel& channel) {
        return CreatePresenterFromReader(channel);
    };
    environment.showWait = [this](bool on) {
        QMetaObject::invokeMethod(
            this, [this, on] { ShowWait(on); }, Qt::QueuedConnection);
    };
    player_ = std::make_unique<SyncPlayer>(channel(), rearChannel(), ProcessPlayerIndexes().audio,
                                           std::move(environment));
    PresenterChoice::Viewer().Probe();
}

CDispWnd::~CDispWnd() {
    player_->StopPlay();
}

bool CDispWnd::StartPlay(std::unique_ptr<IndexSource> source, int startOffsetSeconds) {
    return player_->StartPlay(std::move(source), startOffsetSeconds);
}

void CDispWnd::StopPlay() {
    player_->StopPlay();
    zoom_.Reset();
    pip_->hide();
}

bool CDispWnd::CreatePresenterNow(VideoChannel& channel) {
    bool front = &channel == &this->channel();
    // The window that shows this channel now: the front is large unless swapped.
    QWidget* window = (front != swapped_) ? static_cast<QWidget*>(this) : &pip_->rearWindow();
    if (PresenterChoice::Viewer().CreatePresenter(window, channel) == kDisplayNone) return false;
    if (window == this) {
        zoom_.SetPicture(channel.width(), channel.height());
        zoom_.SetWindowSize(width(), height());
    }
    if (!front && pipPosition_ != 0) SetPip(pipPosition_);
    return true;
}

bool CDispWnd::CreatePresenterFromReader(VideoChannel& channel) {
    if (QThread::currentThread() == thread()) return CreatePresenterNow(channel);
    auto request = std::make_shared<PresenterRequest>();
    QMetaObject::invokeMethod(
        this,
        [this, request, &channel] {
            std::lock_guard lock(request->mutex);
            if (request->abandoned) return;
            request->result = CreatePresenterNow(channel);
            request->done = true;
            request->finished.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(request->mutex);
    while (!request->finished.wait_for(lock, std::chrono::milliseconds(50),
                                       [&] { return request->done; })) {
        if (!player_->running()) {
            request->abandoned = true;
            return false;
        }
    }
    return request->result;
}

void CDispWnd::SetPip(int position) {
    if (position < 0 || position > 4) return;
    pipPosition_ = position;
    PictureRect place = PipPlacement(position, {0, 0, width(), height()});
    if (place.empty() || !player_->rearPresent()) {
        pip_->hide();
        return;
    }
    pip_->setGeometry(place.left, place.top, place.width(), place.height());
    pip_->ShowAndRefresh();
}

void CDispWnd::Swap(bool on) {
    if (on == swapped_) return;
    bool resume = player_->running() && !player_->paused();
    if (resume) player_->Pause(true);
    VideoChannel& front = channel();
    VideoChannel& rear = rearChannel();
    if (player_->rearPresent()) {
        VideoChannel::ExchangePresenters(front, rear);
        SetShownChannel(on ? &rear : &front);
        pip_->rearWindow().SetShownChannel(on ? &front : &rear);
        VideoChannel& large = on ? rear : front;
        zoom_.Rescale(large.width(), large.height());
        {
            std::lock_guard lock(front.displayMutex());
            if (front.display().draw)
                front.display().draw->SetZoom(on ? PictureRect{} : zoom_.PresenterZoom());
        }
        {
            std::lock_guard lock(rear.displayMutex());
            if (rear.display().draw)
                rear.display().draw->SetZoom(on ? zoom_.PresenterZoom() : PictureRect{});
        }
    }
    swapped_ = on;
    player_->SetSwap(on);
    front.DrawFrame(player_->flip(), true);
    if (player_->rearPresent()) rear.DrawFrame(player_->flip(), true);
    update();
    pip_->rearWindow().update();
    if (resume) player_->Pause(false);
}

void CDispWnd::ApplyZoom() {
    VideoChannel& large = shownChannel();
    {
        std::lock_guard lock(large.displayMutex());
        if (large.display().draw) large.display().draw->SetZoom(zoom_.PresenterZoom());
    }
    if (player_->paused()) large.DrawFrame(player_->flip(), true);
}

void CDispWnd::wheelEvent(QWheelEvent* event) {
    if (!player_->running()) return;
    QPoint at = event->position().toPoint();
    bool changed =
        event->angleDelta().y() > 0 ? zoom_.ZoomIn(at.x(), at.y()) : zoom_.ZoomOut(at.x(), at.y());
    if (changed) ApplyZoom();
    event->accept();
}

void CDispWnd::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && zoom_.zoomed()) {
        zoom_.StartDrag(event->position().toPoint().x(), event->position().toPoint().y());
        setCursor(Qt::ClosedHandCursor);
    } else if (event->button() == Qt::RightButton && player_->running() && zoom_.Reset()) {
        ApplyZoom();
    }
}

void CDispWnd::mouseMoveEvent(QMouseEvent* event) {
    setFocus();
    if (zoom_.dragging() && event->buttons() == Qt::LeftButton &&
        zoom_.DragTo(event->position().toPoint().x(), event->position().toPoint().y()))
        ApplyZoom();
}

void CDispWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && zoom_.dragging()) {
        zoom_.EndDrag();
        unsetCursor();
    }
}

void CDispWnd::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) postMsg(owner_.data(), Msg::CommandFullScreen);
}

void CDispWnd::resizeEvent(QResizeEvent* event) {
    zoom_.SetWindowSize(width(), height());
    wait_->Place();
    CDrawWnd::resizeEvent(event);
    SetPip(pipPosition_);
}

}  // namespace kx
