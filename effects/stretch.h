// The vertical and horizontal stretch (`Verticalpengzhang`, `Horizontalpengzhang`) and
// squeeze (`Verticalshousuo`, `Horizontalshousuo`) as pure functions over the picture.
#pragma once

#include <QImage>

#include "effects/progress.h"

namespace effects {

// One vertical stretch step on a Format_BGR888 picture: inside the disc of radius R =
// `EffectRadius` around (x, y) (which may lie outside the picture) the content moves away
// from row y, by the bulge of strength S = `EffectStrength` along the columns only. Every
// pixel keeps its column and is computed from the picture as it was before the call; only
// pixels inside the picture change. Visits the rim rows and the centre line too, one column
// at a time, with 2·R − 1 progress steps on the calling thread.
//
// When k = (R² − S²) / (2·S) is very small (S = R, or S just below or above R), a rim pixel
// half a row beyond the disc has no source: its square root's argument is zero or negative.
// The step is then refused as a whole: the picture stays as it was, no progress step is made
// and the result is false, so a caller repeating the step on a timer just sees no change.
// Otherwise the result is true (also for radius <= 0, which changes nothing).
//
// Throws std::invalid_argument, before touching the picture, when strength < 1 or the
// picture is not in Format_BGR888.
bool stretchVertical(QImage& picture, int x, int y, int radius, int strength, Progress& progress);

// The same along the rows: every pixel keeps its row, one progress step per row.
bool stretchHorizontal(QImage& picture, int x, int y, int radius, int strength, Progress& progress);

// One vertical squeeze step: the content moves towards row y by the pinch's factor, inside
// the pinch's lens; every pixel keeps its column. Column x goes through the sampler in a pass
// of its own, row y and the centre keep their colours. 2·(R − 1) progress steps; radius <= 1
// changes nothing. Throws as stretchVertical().
void squeezeVertical(QImage& picture, int x, int y, int radius, int strength, Progress& progress);

// The same along the rows: every pixel keeps its row; row y has the pass of its own.
void squeezeHorizontal(QImage& picture, int x, int y, int radius, int strength, Progress& progress);

}  // namespace effects
