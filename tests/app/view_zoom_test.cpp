#include <gtest/gtest.h>

#include <vector>

#include "app/view_zoom.h"

namespace {

// Steps from 100 % `count` times, as the tool bar does: the control is resized
// from each new percentage before the next step.
std::vector<int> steps(int width, int height, double factor, int count) {
    std::vector<int> seen;
    int percent = 100;
    for (int i = 0; i < count; ++i) {
        percent = view_zoom::stepPercent(width, height, view_zoom::shownSide(width, percent),
                                         percent, factor);
        seen.push_back(percent);
    }
    return seen;
}

}  // namespace

TEST(ViewZoom, StepsOutAndInForAPictureOf605Pixels) {
    EXPECT_EQ(
        steps(605, 469, view_zoom::kZoomOutFactor, 19),
        (std::vector<int>{80, 64, 51, 41, 33, 26, 21, 17, 14, 11, 9, 7, 6, 5, 4, 3, 2, 2, 2}));
    EXPECT_EQ(steps(605, 469, view_zoom::kZoomInFactor, 9),
              (std::vector<int>{125, 156, 195, 244, 305, 381, 476, 595, 744}));
    EXPECT_EQ(view_zoom::shownSide(605, 80), 484);
    EXPECT_EQ(view_zoom::shownSide(469, 80), 375);
    // In then out comes back: 125 %, then Rnd(756 × 0.8) = 605.
    EXPECT_EQ(view_zoom::stepPercent(605, 469, 756, 125, view_zoom::kZoomOutFactor), 100);
}

TEST(ViewZoom, ZoomInAlwaysProgressesAndStopsAtItsBound) {
    // 2 %: 12 pixels × 1.25 = 15 pixels would round back to 2 %.
    EXPECT_EQ(view_zoom::stepPercent(605, 469, 12, 2, view_zoom::kZoomInFactor), 3);
    EXPECT_EQ(view_zoom::stepPercent(605, 469, 18, 3, view_zoom::kZoomInFactor), 4);
    // A 4000-pixel photograph stops growing before it passes 32000 pixels.
    EXPECT_EQ(view_zoom::stepPercent(4000, 3000, 28000, 700, view_zoom::kZoomInFactor), 700);
    EXPECT_EQ(view_zoom::stepPercent(4000, 3000, 20000, 500, view_zoom::kZoomInFactor), 625);
    // A small picture stops at the percentage bound.
    EXPECT_EQ(view_zoom::stepPercent(10, 10, 300, 3000, view_zoom::kZoomInFactor), 3000);
    // No picture: no change.
    EXPECT_EQ(view_zoom::stepPercent(0, 0, 0, 100, view_zoom::kZoomInFactor), 100);
}

TEST(ViewZoom, FittingStepsDownUntilThePictureFitsAndGrowsOnlyWhenAsked) {
    // 6000 x 4000 in a 600 x 480 window: 100, 80, 64, 51, 41, 33, 26, 21, 17, 14, 11, 9 %
    // (540 x 360 is the first that fits).
    EXPECT_EQ(view_zoom::fittingPercent(6000, 4000, 100, 600, 480, false), 9);
    // The height decides for a tall picture: 4000 x 6000 at 7 % is 280 x 420.
    EXPECT_EQ(view_zoom::fittingPercent(4000, 6000, 100, 600, 480, false), 7);
    // A picture that fits keeps its zoom; growing steps in while the next step fits.
    EXPECT_EQ(view_zoom::fittingPercent(605, 469, 100, 615, 480, false), 100);
    EXPECT_EQ(view_zoom::fittingPercent(605, 469, 51, 615, 480, false), 51);
    EXPECT_EQ(view_zoom::fittingPercent(605, 469, 51, 615, 480, true), 100);
    EXPECT_EQ(view_zoom::fittingPercent(100, 50, 100, 615, 480, true), 595);
    // Never below 2 %, however small the window.
    EXPECT_EQ(view_zoom::fittingPercent(30000, 4000, 100, 10, 10, false), 2);
    EXPECT_EQ(view_zoom::fittingPercent(0, 0, 100, 10, 10, true), 100);
}
