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

}  // namespace view_zoom
