#include "player/ZoomState.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

bool AllEven(const PictureRect& r) {
    return r.left % 2 == 0 && r.top % 2 == 0 && r.right % 2 == 0 && r.bottom % 2 == 0;
}

class ZoomStateTest : public testing::Test {
  protected:
    void SetUp() override {
        zoom_.SetPicture(1920, 1080);
        zoom_.SetWindowSize(960, 540);
    }
    ZoomState zoom_;
};

TEST_F(ZoomStateTest, TwoStepsAtTheCentre) {
    zoom_.ZoomIn(480, 270);
    zoom_.ZoomIn(480, 270);
    EXPECT_EQ(zoom_.level(), 2);
    const PictureRect& r = zoom_.rect();
    EXPECT_EQ(r.left, 192);
    EXPECT_EQ(r.top, 108);
    EXPECT_EQ(r.right, 1728);
    EXPECT_EQ(r.bottom, 972);
}

TEST_F(ZoomStateTest, TheTenthStepHasNoEffect) {
    for (int i = 0; i < 9; ++i) EXPECT_TRUE(zoom_.ZoomIn(700, 100));
    PictureRect at9 = zoom_.rect();
    EXPECT_FALSE(zoom_.ZoomIn(700, 100));
    EXPECT_EQ(zoom_.level(), 9);
    EXPECT_EQ(zoom_.rect().left, at9.left);
    EXPECT_TRUE(AllEven(zoom_.rect()));
    EXPECT_GE(zoom_.rect().left, 0);
    EXPECT_LE(zoom_.rect().right, 1920);
}

TEST_F(ZoomStateTest, ZoomingOutFromLevelOneShowsTheWholePictureWhereverTheMouseIs) {
    for (auto [x, y] : {std::pair{0, 0}, std::pair{959, 539}, std::pair{100, 500}}) {
        zoom_.ZoomIn(x, y);
        zoom_.ZoomOut(959 - x, 539 - y);
        EXPECT_EQ(zoom_.level(), 0);
        EXPECT_TRUE(zoom_.PresenterZoom().empty());
        EXPECT_EQ(zoom_.rect().right, 1920);
        EXPECT_EQ(zoom_.rect().bottom, 1080);
    }
}

TEST_F(ZoomStateTest, ZoomingOutStaysInsideThePicture) {
    for (int i = 0; i < 5; ++i) zoom_.ZoomIn(959, 539);  // towards the lower right corner
    zoom_.ZoomOut(0, 0);
    const PictureRect& r = zoom_.rect();
    EXPECT_GE(r.left, 0);
    EXPECT_GE(r.top, 0);
    EXPECT_LE(r.right, 1920);
    EXPECT_LE(r.bottom, 1080);
    EXPECT_TRUE(AllEven(r));
}

TEST_F(ZoomStateTest, SmallDragsDoNothingAndDragsStopAtTheEdge) {
    zoom_.ZoomIn(480, 270);
    PictureRect start = zoom_.rect();
    zoom_.StartDrag(500, 300);
    EXPECT_FALSE(zoom_.DragTo(503, 300));
    EXPECT_FALSE(zoom_.DragTo(502, 302));
    EXPECT_EQ(zoom_.rect().left, start.left);
    // Dragging right moves the visible part left, and no further than the edge.
    EXPECT_TRUE(zoom_.DragTo(900, 300));
    EXPECT_EQ(zoom_.rect().left, 0);
    EXPECT_EQ(zoom_.rect().width(), start.width());
    zoom_.EndDrag();
    EXPECT_FALSE(zoom_.DragTo(0, 0));
}

TEST_F(ZoomStateTest, ARightClickOnlyActsWhenZoomed) {
    EXPECT_FALSE(zoom_.Reset());
    zoom_.ZoomIn(10, 10);
    EXPECT_TRUE(zoom_.Reset());
    EXPECT_EQ(zoom_.level(), 0);
}

TEST_F(ZoomStateTest, RescalingKeepsTheLevelAndTheShare) {
    zoom_.ZoomIn(480, 270);
    zoom_.ZoomIn(480, 270);
    zoom_.Rescale(1280, 720);
    EXPECT_EQ(zoom_.level(), 2);
    EXPECT_EQ(zoom_.rect().left, 128);
    EXPECT_EQ(zoom_.rect().top, 72);
    EXPECT_EQ(zoom_.rect().right, 1152);
    EXPECT_EQ(zoom_.rect().bottom, 648);
}

TEST(PipPlacement, CornersAreAThirdOfThePlayer) {
    PictureRect player{100, 50, 1000, 650};
    auto three = PipPlacement(3, player);
    EXPECT_EQ(three.left, 700);
    EXPECT_EQ(three.top, 450);
    EXPECT_EQ(three.right, 1000);
    EXPECT_EQ(three.bottom, 650);
    EXPECT_TRUE(PipPlacement(0, player).empty());
    auto two = PipPlacement(2, player);
    EXPECT_EQ(two.left, 700);
    EXPECT_EQ(two.top, 50);
    auto one = PipPlacement(1, player);
    EXPECT_EQ(one.left, 100);
    EXPECT_EQ(one.bottom, 250);
    auto four = PipPlacement(4, player);
    EXPECT_EQ(four.left, 100);
    EXPECT_EQ(four.top, 450);
}

}  // namespace
}  // namespace kx
