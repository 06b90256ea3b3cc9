#include <gtest/gtest.h>

#include <QWidget>

#include "player/CNullDraw.h"
#include "player/CRasterDraw.h"
#include "player/PresenterChoice.h"
#include "player/VideoChannel.h"

namespace kx {
namespace {

// A 4 x 2 BGRA picture whose every pixel tells where it came from.
struct KnownPicture {
    static QRgb Colour(int x, int y) { return qRgb(40 * x + 10, 100 * y + 20, 77); }
    KnownPicture() {
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x) {
                QRgb colour = Colour(x, y);
                std::uint8_t* pixel = bytes + (y * 4 + x) * 4;
                pixel[0] = static_cast<std::uint8_t>(qBlue(colour));
                pixel[1] = static_cast<std::uint8_t>(qGreen(colour));
                pixel[2] = static_cast<std::uint8_t>(qRed(colour));
                pixel[3] = 255;
            }
        picture.width = 4;
        picture.height = 2;
        picture.displayType = kDisplayBgra32;
        picture.planes[0] = bytes;
        picture.strides[0] = 16;
    }
    std::uint8_t bytes[4 * 2 * 4];
    Picture picture;
};

TEST(CRasterDraw, FlipsMirrorThePicturePixelByPixel) {
    QWidget window;
    window.resize(4, 2);
    CRasterDraw draw(&window);
    ASSERT_EQ(draw.Init(4, 2), kDisplayBgra32);
    KnownPicture known;
    for (int flip = 0; flip <= 3; ++flip) {
        ASSERT_TRUE(draw.Draw(&known.picture, flip, false));
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x) {
                int sourceX = (flip & kFlipLeftRight) ? 3 - x : x;
                int sourceY = (flip & kFlipUpDown) ? 1 - y : y;
                EXPECT_EQ(draw.backBuffer().pixel(x, y) & 0xffffff,
                          KnownPicture::Colour(sourceX, sourceY) & 0xffffff)
                    << "flip " << flip << " at " << x << "," << y;
            }
    }
}

TEST(CRasterDraw, TheZoomRectangleFillsTheWindow) {
    QWidget window;
    window.resize(4, 2);
    CRasterDraw draw(&window);
    ASSERT_EQ(draw.Init(4, 2), kDisplayBgra32);
    draw.SetZoom({1, 1, 3, 2});  // the middle two pixels of the lower row
    KnownPicture known;
    ASSERT_TRUE(draw.Draw(&known.picture, 0, false));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(draw.backBuffer().pixel(x, y) & 0xffffff,
                      KnownPicture::Colour(1 + x / 2, 1) & 0xffffff)
                << x << "," << y;
}

TEST(CRasterDraw, ResizingKeepsTheLastPictureUntilTheNext) {
    QWidget window;
    window.resize(4, 2);
    CRasterDraw draw(&window);
    draw.Init(4, 2);
    KnownPicture known;
    draw.Draw(&known.picture, 0, false);
    window.resize(40, 20);
    ASSERT_TRUE(draw.Check());
    ASSERT_EQ(draw.backBuffer().size(), QSize(40, 20));
    // The corners still show the picture's corners, scaled.
    EXPECT_NEAR(qRed(draw.backBuffer().pixel(0, 0)), qRed(KnownPicture::Colour(0, 0)), 12);
    EXPECT_NEAR(qGreen(draw.backBuffer().pixel(39, 19)), qGreen(KnownPicture::Colour(3, 1)), 12);
}

// A presenter kind that cannot start.
class FailingDraw : public CNullDraw {
  public:
    explicit FailingDraw(int& attempts) : attempts_(attempts) {}
    int Init(int, int) override {
        ++attempts_;
        return kDisplayNone;
    }

  private:
    int& attempts_;
};

TEST(PresenterChoice, AFailedKindIsNotTriedAgain) {
    int attempts = 0;
    PresenterChoice choice({
        {"fast", true,
         [&](QWidget*, VideoChannel&) -> std::unique_ptr<CDraw> {
             return std::make_unique<FailingDraw>(attempts);
         }},
        {"plain", true,
         [](QWidget*, VideoChannel&) -> std::unique_ptr<CDraw> {
             return std::make_unique<CNullDraw>(kDisplayBgra32);
         }},
    });
    SampleIndex index;
    VideoChannel first(0, index), second(0, index);
    first.OpenVCodec(kCodecAvc1, 64, 48, nullptr, 0);
    second.OpenVCodec(kCodecAvc1, 64, 48, nullptr, 0);
    EXPECT_EQ(choice.CreatePresenter(nullptr, first), kDisplayBgra32);
    EXPECT_EQ(attempts, 1);
    EXPECT_EQ(choice.CreatePresenter(nullptr, second), kDisplayBgra32);
    EXPECT_EQ(attempts, 1) << "the failed kind was tried for the next recording";
    EXPECT_FALSE(choice.kinds()[0].usable);
}

TEST(PresenterChoice, WithoutOpenGlTheViewerUsesTheRasterPresenter) {
    // The offscreen platform has no OpenGL.
    QWidget window;
    window.resize(64, 48);
    SampleIndex index;
    VideoChannel channel(0, index);
    channel.OpenVCodec(kCodecAvc1, 64, 48, nullptr, 0);
    PresenterChoice::Viewer().Probe();
    EXPECT_EQ(PresenterChoice::Viewer().CreatePresenter(&window, channel), kDisplayBgra32);
    EXPECT_NE(dynamic_cast<CRasterDraw*>(channel.display().draw.get()), nullptr);
}

}  // namespace
}  // namespace kx
