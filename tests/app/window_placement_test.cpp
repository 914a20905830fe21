// Where dialogs open: centred over the owner or the work area, and kept inside the work area.
#include "window_placement.h"

#include <gtest/gtest.h>

#include <climits>

namespace vandrel {
namespace {

constexpr ScreenRect kWorkArea{0, 0, 1024, 738};  // a 1024x768 screen with a 30-pixel task bar

ScreenRect Sized(int width, int height) {
    return {0, 0, width, height};
}

TEST(WindowPlacement, CentresInTheWorkAreaWhateverTheTemplatePosition) {
    // The template's 0,0 does not matter, only the size.
    EXPECT_EQ(CentredOrigin({0, 0, 400, 300}, kWorkArea, kWorkArea).x, 312);
    EXPECT_EQ(CentredOrigin({0, 0, 400, 300}, kWorkArea, kWorkArea).y, 219);
    EXPECT_EQ(CentredOrigin({500, 500, 900, 800}, kWorkArea, kWorkArea).x, 312);
}

TEST(WindowPlacement, WorkAreaOfASecondMonitorWithNegativeCoordinates) {
    const ScreenRect left{-1280, 100, 0, 1124};
    const ScreenPoint origin = CentredOrigin(Sized(400, 300), left, left);
    EXPECT_EQ(origin.x, -840);
    EXPECT_EQ(origin.y, 462);
}

TEST(WindowPlacement, CentresOverTheOwner) {
    const ScreenRect owner{100, 50, 500, 450};
    const ScreenPoint origin = CentredOrigin(Sized(200, 100), owner, kWorkArea);
    EXPECT_EQ(origin.x, 200);
    EXPECT_EQ(origin.y, 200);
}

TEST(WindowPlacement, AnOwnerNearTheEdgeDoesNotPushTheDialogOffTheWorkArea) {
    // Centred over an owner at the right and bottom edges: moved back inside.
    const ScreenPoint low = CentredOrigin(Sized(300, 200), {900, 650, 1100, 760}, kWorkArea);
    EXPECT_EQ(low.x, 1024 - 300);
    EXPECT_EQ(low.y, 738 - 200);
    // And at the left and top edges.
    const ScreenPoint high = CentredOrigin(Sized(300, 200), {-80, -40, 40, 20}, kWorkArea);
    EXPECT_EQ(high.x, 0);
    EXPECT_EQ(high.y, 0);
}

TEST(WindowPlacement, ADialogLargerThanTheWorkAreaKeepsItsCaptionOnScreen) {
    const ScreenPoint origin = CentredOrigin(Sized(2000, 1000), kWorkArea, kWorkArea);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
}

TEST(WindowPlacement, ExtremeCoordinatesDoNotOverflow) {
    const ScreenRect far{INT_MAX - 100, INT_MAX - 100, INT_MAX, INT_MAX};
    const ScreenPoint origin = CentredOrigin(Sized(50, 50), far, far);
    EXPECT_EQ(origin.x, INT_MAX - 75);
    EXPECT_EQ(origin.y, INT_MAX - 75);
}

}  // namespace
}  // namespace vandrel
