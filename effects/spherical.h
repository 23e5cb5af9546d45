// The spherical bulge (`Sphericalpengzhang`) and pinch (`Sphericalshousuo`) as
// pure functions over the picture.
#pragma once

#include <QImage>

#include "effects/progress.h"

namespace effects {

// One bulge step on a Format_BGR888 picture: centre (x, y) in picture pixels (it may lie
// outside the picture), radius R = `EffectRadius` and strength S = `EffectStrength` in
// picture pixels. Every pixel is computed from the picture as it was before the call, and
// only pixels inside the picture change. Makes 4·(R − 1) progress steps, on the calling
// thread. Radius <= 1 changes nothing.
//
// Where the design leaves the choice to us: the axis passes read the nearest pixel without
// clamping, and when that pixel falls outside the picture (the centre outside, or S > R,
// which turns the sphere's centre above the picture) we clamp it to the nearest edge.
//
// Throws std::invalid_argument, before touching the picture, when strength < 1 or the
// picture is not in Format_BGR888.
void bulge(QImage& picture, int x, int y, int radius, int strength, Progress& progress);

// One pinch step, arguments as for bulge(). Makes 2·(R − 1) progress steps.
void pinch(QImage& picture, int x, int y, int radius, int strength, Progress& progress);

}  // namespace effects
