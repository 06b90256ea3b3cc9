#include "player/CDispWnd.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QWheelEvent>

#include "player/CRasterDraw.h"
#include "support/TempDir.h"
#include "support/TestSource.h"

namespace kx {
namespace {

// The control panel's side: collects what the player window posts.
class MsgCollector : public QObject {
  public:
    std::vector<std::pair<Msg, std::intptr_t>> received;  // message, wParam
    std::vector<std::intptr_t> lParams;

  protected:
    bool event(QEvent* event) override {
        if (event->type() != MsgEvent::EventType()) return QObject::event(event);
        const auto& message = static_cast<const MsgEvent&>(*event);
        received.emplace_back(message.msg(), message.wParam());
        lParams.push_back(message.lParam());
        return true;
    }
};

bool Spin(const std::function<bool()>& until, int timeoutMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!until()) {
        if (timer.elapsed() > timeoutMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

class CDispWndTest : public testing::Test {
  protected:
    void SetUp() override {
        front_ = test::WriteTestVideo(dir_ / "front.h264", 30, 30, 64, 48, 30);
        rear_ = test::WriteTestVideo(dir_ / "rear.h264", 30, 30, 32, 24, 30);
        window_ = std::make_unique<CDispWnd>(&owner_, 1, std::make_unique<SilentWaveOut>());
        window_->resize(960, 540);
        window_->show();
        ASSERT_TRUE(window_->StartPlay(std::make_unique<test::TestSource>(
                                           dir_ / "front.h264", front_, dir_ / "rear.h264", rear_),
                                       0));
        ASSERT_TRUE(Spin([&] { return Received(Msg::PlayMessage, 1); })) << "never ended";
    }
    void TearDown() override { window_->StopPlay(); }

    bool Received(Msg msg, std::intptr_t wParam) const {
        for (const auto& [m, w] : owner_.received)
            if (m == msg && w == wParam) return true;
        return false;
    }
    PictureRect FrontZoom() {
        VideoChannel& shown = window_->shownChannel();
        std::lock_guard lock(shown.displayMutex());
        return shown.display().draw->zoom();
    }
    void Wheel(int y, QPoint at) {
        QWheelEvent event(at, window_->mapToGlobal(at), QPoint(), QPoint(0, y), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(window_.get(), &event);
    }
    void Click(QEvent::Type type, Qt::MouseButton button, QPoint at) {
        QMouseEvent event(type, at, window_->mapToGlobal(at), button, button, Qt::NoModifier);
        QApplication::sendEvent(window_.get(), &event);
    }

    test::TempDir dir_;
    test::TestVideo front_, rear_;
    MsgCollector owner_;
    std::unique_ptr<CDispWnd> window_;
};

TEST_F(CDispWndTest, TheRearPictureGoesToTheChosenCorner) {
    window_->SetPip(3);
    EXPECT_TRUE(window_->pip().isVisible());
    EXPECT_EQ(window_->pip().geometry(), QRect(640, 360, 320, 180));
    window_->SetPip(0);
    EXPECT_FALSE(window_->pip().isVisible());
    window_->SetPip(2);
    EXPECT_TRUE(window_->pip().isVisible());
    EXPECT_EQ(window_->pip().geometry(), QRect(640, 0, 320, 180));
    // Resizing the player places it again.
    window_->resize(600, 300);
    EXPECT_EQ(window_->pip().geometry(), QRect(400, 0, 200, 100));
}

TEST_F(CDispWndTest, TheWheelZoomsAndARightClickShowsTheWholePicture) {
    Wheel(120, QPoint(480, 270));
    EXPECT_EQ(window_->zoom().level(), 1);
    EXPECT_FALSE(FrontZoom().empty());
    Click(QEvent::MouseButtonPress, Qt::RightButton, QPoint(10, 10));
    EXPECT_EQ(window_->zoom().level(), 0);
    EXPECT_TRUE(FrontZoom().empty());
    Wheel(-120, QPoint(480, 270));
    EXPECT_EQ(window_->zoom().level(), 0) << "zooming out of the whole picture does nothing";
}

TEST_F(CDispWndTest, ADoubleClickAsksThePanelForFullScreen) {
    Click(QEvent::MouseButtonDblClick, Qt::LeftButton, QPoint(100, 100));
    EXPECT_TRUE(Spin([&] { return Received(Msg::CommandFullScreen, 0); }, 1000));
}

TEST_F(CDispWndTest, SwappingShowsTheRearLargeAndTheFrontInTheCorner) {
    window_->Swap(true);
    EXPECT_EQ(&window_->shownChannel(), &window_->rearChannel());
    EXPECT_EQ(&window_->pip().rearWindow().shownChannel(), &window_->channel());
    auto* rearDraw = dynamic_cast<CRasterDraw*>(window_->rearChannel().display().draw.get());
    ASSERT_NE(rearDraw, nullptr);
    EXPECT_EQ(rearDraw->backBuffer().size(), window_->size()) << "the rear draws into the player";
    window_->Swap(false);
    EXPECT_EQ(&window_->shownChannel(), &window_->channel());
}

TEST_F(CDispWndTest, TheWaitIndicatorTurnsWhileShown) {
    window_->ShowWait(true);
    EXPECT_TRUE(window_->waitIndicator().isVisible());
    EXPECT_EQ(window_->waitIndicator().geometry().center(), window_->rect().center());
    ASSERT_TRUE(Spin([&] { return window_->waitIndicator().frame() >= 2; }, 2000));
    window_->ShowWait(false);
    EXPECT_FALSE(window_->waitIndicator().isVisible());
    EXPECT_EQ(window_->waitIndicator().frame(), 0);
}

}  // namespace
}  // namespace kx
