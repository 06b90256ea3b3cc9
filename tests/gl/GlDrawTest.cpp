// The OpenGL presenter on a real (virtual) X display.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include "player/CDrawWnd.h"
#include "player/CGlDraw.h"
#include "player/CRasterDraw.h"
#include "player/PresenterChoice.h"
#include "player/VideoChannel.h"

namespace kx {
namespace {

// A 4:2:0 picture, white on the left half and black on the right, as decoded planes.
struct HalfWhitePicture {
    static constexpr int kWidth = 64, kHeight = 32;
    HalfWhitePicture() {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) luma[y * kWidth + x] = x < kWidth / 2 ? 235 : 16;
        std::fill(std::begin(chroma), std::end(chroma), 128);
        picture.width = kWidth;
        picture.height = kHeight;
        picture.displayType = kDisplayYv12;
        picture.planes[0] = luma;
        picture.planes[1] = chroma;
        picture.planes[2] = chroma;
        picture.strides[0] = kWidth;
        picture.strides[1] = picture.strides[2] = kWidth / 2;
    }
    std::uint8_t luma[kWidth * kHeight];
    std::uint8_t chroma[kWidth / 2 * kHeight / 2];
    Picture picture;
};

void SettleEvents() {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 300) QApplication::processEvents();
}

TEST(CGlDraw, DrawsPlanarPicturesWithFlipsOnTheGpu) {
    ASSERT_TRUE(CGlDraw::Probe()) << "no OpenGL under Xvfb";
    QWidget window;
    window.resize(128, 64);
    window.show();
    std::mutex displayMutex;
    CGlDraw draw(&window, displayMutex);
    ASSERT_EQ(draw.Init(HalfWhitePicture::kWidth, HalfWhitePicture::kHeight), kDisplayYv12);
    HalfWhitePicture half;
    for (int flip : {0, kFlipLeftRight}) {
        {
            std::lock_guard lock(displayMutex);
            draw.Draw(&half.picture, flip, false);
        }
        SettleEvents();
        QImage shown = draw.glWidget()->grabFramebuffer();
        ASSERT_EQ(shown.size(), QSize(128, 64));
        int whiteX = flip ? 100 : 20, blackX = flip ? 20 : 100;
        EXPECT_GT(qGray(shown.pixel(whiteX, 32)), 240) << "flip " << flip;
        EXPECT_LT(qGray(shown.pixel(blackX, 32)), 15) << "flip " << flip;
    }
}

TEST(CDrawWnd, ResizingAWindowWithTheGlPresenterKeepsThePicture) {
    SampleIndex index;
    CDrawWnd window(0, index);
    window.resize(128, 64);
    window.show();
    VideoChannel& channel = window.channel();
    channel.OpenVCodec(kCodecAvc1, HalfWhitePicture::kWidth, HalfWhitePicture::kHeight, nullptr, 0);
    ASSERT_TRUE(
        channel.CreatePresenter(std::make_unique<CGlDraw>(&window, channel.displayMutex())));
    HalfWhitePicture half;
    {
        std::lock_guard lock(channel.displayMutex());
        channel.display().draw->Draw(&half.picture, 0, false);
    }
    SettleEvents();
    window.resize(256, 128);  // the resize runs Check under the display mutex
    SettleEvents();
    auto* draw = static_cast<CGlDraw*>(channel.display().draw.get());
    QImage shown = draw->glWidget()->grabFramebuffer();
    ASSERT_EQ(shown.size(), QSize(256, 128));
    EXPECT_GT(qGray(shown.pixel(40, 64)), 240);
    EXPECT_LT(qGray(shown.pixel(200, 64)), 15);
}

TEST(PresenterChoice, OpenGlIsChosenFirstWhereItWorks) {
    QWidget window;
    window.resize(64, 48);
    window.show();
    SampleIndex index;
    VideoChannel channel(0, index);
    channel.OpenVCodec(kCodecAvc1, 64, 48, nullptr, 0);
    PresenterChoice::Viewer().Probe();
    EXPECT_EQ(PresenterChoice::Viewer().CreatePresenter(&window, channel), kDisplayYv12);
    EXPECT_NE(dynamic_cast<CGlDraw*>(channel.display().draw.get()), nullptr);
    channel.display().draw.reset();
}

}  // namespace
}  // namespace kx

// Mesa unloads its driver at exit, before the leak checker runs; its own leaks would then be
// reported from an unknown module and could not be told apart. Keeping the drivers loaded lets
// the suppressions name them.
void KeepGlDriversLoaded() {
    for (const char* library :
         {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
          "/usr/lib/x86_64-linux-gnu/dri/kms_swrast_dri.so", "libGLX_mesa.so.0", "libglapi.so.0"})
        dlopen(library, RTLD_NOW | RTLD_NODELETE | RTLD_GLOBAL);
}

int main(int argc, char** argv) {
    KeepGlDriversLoaded();
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
