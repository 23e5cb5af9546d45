#include "app/view_zoom.h"

#include <algorithm>
#include <cmath>

namespace view_zoom {

int shownSide(int pictureSide, double percent) {
    return static_cast<int>(std::nearbyint(pictureSide * percent / 100.0));
}

int stepPercent(int pictureWidth, int pictureHeight, int controlWidth, int currentPercent,
                double factor) {
    if (pictureWidth <= 0 || pictureHeight <= 0) {
        return currentPercent;
    }
    const double width = std::nearbyint(controlWidth * factor);
    int percent = static_cast<int>(std::nearbyint(width / pictureWidth * 100.0));
    if (factor > 1.0) {
        percent = std::max(percent, currentPercent + 1);
        const int largest = std::max(pictureWidth, pictureHeight);
        if (percent > kMaxPercent || shownSide(largest, percent) > kMaxControlSide) {
            return currentPercent;
        }
    }
    return std::max(percent, 1);
}

int fittingPercent(int pictureWidth, int pictureHeight, int currentPercent, int availableWidth,
                   int availableHeight, bool grow) {
    if (pictureWidth <= 0 || pictureHeight <= 0) {
        return currentPercent;
    }
    auto fits = [&](int percent) {
        return shownSide(pictureWidth, percent) <= availableWidth &&
               shownSide(pictureHeight, percent) <= availableHeight;
    };
    // Each step starts from the control's size at the percentage, as a click on the buttons.
    auto step = [&](int percent, double factor) {
        return stepPercent(pictureWidth, pictureHeight, shownSide(pictureWidth, percent), percent,
                           factor);
    };
    int percent = currentPercent;
    while (!fits(percent) && percent > kMinFitPercent) {
        const int next = std::max(step(percent, kZoomOutFactor), kMinFitPercent);
        if (next >= percent) {
            break;
        }
        percent = next;
    }
    if (grow) {
        for (int next = step(percent, kZoomInFactor); next > percent && fits(next);
             next = step(percent, kZoomInFactor)) {
            percent = next;
        }
    }
    return percent;
}

}  // namespace view_zoom
