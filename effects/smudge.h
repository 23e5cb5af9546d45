// The smudge tool (`tumopic`) as a pure function over the picture: one stroke pushes the
// content inside a disc around the middle of the drag forward along the drag.
#pragma once

#include <QImage>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "effects/progress.h"

namespace effects {

// One direction case of a stroke, as planSmudge() works it out.
struct SmudgeStroke {
    // 1 up-left, 2 down-right, 3 up-right, 4 down-left, 5 left, 6 right, 7 down, 8 up.
    int directionCase = 0;
    double length = 0;  // L: the drag length, at most radius / 2
    // The shortened release point the later cases compare with the press point.
    int64_t releaseX = 0;
    int64_t releaseY = 0;
    double centreX = 0;  // C, the middle of the shortened stroke
    double centreY = 0;
    double ux = 0;  // u, the unit vector of the drag
    double uy = 0;
    double slope = 0;       // k = dy / dx of the diagonal cases 1 to 4, 0 in the others
    double discRadius = 0;  // R = L / 2 + radius
    // The columns G the case processes, one progress step each; none when first > last.
    int64_t firstColumn = 0;
    int64_t lastColumn = -1;

    int64_t columns() const { return std::max<int64_t>(0, lastColumn - firstColumn + 1); }
};

// The direction cases a stroke from the press point to the release point runs, in order.
// The eight cases are tested one after another, each against the release point as the
// cases before it left it (an applying case shortens it), so a nearly vertical or nearly
// horizontal diagonal drag runs as a diagonal case and then once more as an axis case.
// Press and release on one pixel, or a negative radius, give no case. The release point
// of case 8, which no later case reads, is given as (pressX, pressY − Rnd(L)).
std::vector<SmudgeStroke> planSmudge(int pressX, int pressY, int releaseX, int releaseY,
                                     int radius);

// One smudge stroke on a Format_BGR888 picture, all in picture pixels, effect radius a =
// `radius`. Inside each planned case's disc of radius R around C every line of pixels
// parallel to the drag is re-sampled so that the content on the centre line moves forward
// by L / 2 while the rim stays put. Every case samples the picture as it was before the
// call; a later case overwrites the earlier one's pixels with its own result. Only pixels
// inside the picture are written; the press and release points may lie anywhere.
//
// One progress step per column of each case's column range (also for columns outside the
// picture or without rows), all on the calling thread; resetting the bar between cases
// is the caller's job.
//
// Choices:
// - radius 0 gives L = 0, an empty disc, and changes nothing; a negative radius plans no
//   case at all; an empty picture only gets the progress steps;
// - which side of the displaced centre point P a pixel lies on is told by cheap tests from
//   the picture's top-left corner (distance for cases 1 and 2, slope for 3 and 4) only
//   where they do tell it: P with non-negative coordinates, and for the slope both the
//   pixel's and P's column above 0. Elsewhere (column 0, P above or left of the picture)
//   the sign of (pixel − P)·(1, k) decides;
// - drag lengths are summed wider than 64 bits, so far-away points cannot overflow;
// - a pixel whose source position comes out non-finite keeps its colour.
//
// Throws std::invalid_argument, before touching the picture, when the picture is not in
// Format_BGR888.
void smudge(QImage& picture, int pressX, int pressY, int releaseX, int releaseY, int radius,
            Progress& progress);

}  // namespace effects
