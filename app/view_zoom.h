// The percentages of the view zoom. One step scales the shown width by 0.8 or
// 1.25 and rounds to a whole percentage of the picture's width.
#pragma once

namespace view_zoom {

constexpr double kZoomOutFactor = 0.8;
constexpr double kZoomInFactor = 1.25;
// Beyond this the view stops growing: large percentages help no one, and window
// systems limit a widget's size (X11 to 32767 pixels a side).
constexpr int kMaxPercent = 3200;
constexpr int kMaxControlSide = 32000;

// The percentage after one step from `currentPercent`, where the control is
// `controlWidth` pixels wide for a picture of the given size. Rounding can hold a
// very small zoom in place; a zoom-in step then still gains one percent, while a
// zoom-out step stays (2 % of a 605-pixel picture is already 12 pixels).
int stepPercent(int pictureWidth, int pictureHeight, int controlWidth, int currentPercent,
                double factor);

// Rnd(side × percent / 100), halves to even.
int shownSide(int pictureSide, double percent);

// Fitting a picture into the picture window never zooms below this.
constexpr int kMinFitPercent = 2;

// The percentage reached from currentPercent by zoom steps so that the picture, shown at it,
// fits in availableWidth x availableHeight: zoom-out steps while it does not fit (stopping at
// kMinFitPercent or where a step makes no progress), then, when `grow` is set, zoom-in steps
// for as long as the next one still fits. A picture that fits keeps currentPercent unless
// `grow` is set.
int fittingPercent(int pictureWidth, int pictureHeight, int currentPercent, int availableWidth,
                   int availableHeight, bool grow);

}  // namespace view_zoom
