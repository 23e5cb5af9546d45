// The clockwise (`Sphericalyouxuan`) and anticlockwise (`Sphericalzuoxuan`) twirl as pure
// functions over the picture.
#pragma once

#include <QImage>

#include "effects/progress.h"

namespace effects {

// One twirl step on a Format_BGR888 picture: the disc of radius R = `EffectRadius` around
// (x, y) (which may lie outside the picture) turns clockwise on screen, every pixel shifted
// along the tangent by the profile D(r) that is 0 at the centre and the rim and S =
// `EffectStrength` at half the radius. Every pixel is computed from the picture as it was
// before the call, only pixels inside the picture change, the centre pixel never does.
// Makes 4·(R − 1) progress steps, on the calling thread. Radius <= 1 changes nothing.
//
// Throws std::invalid_argument, before touching the picture, when strength < 1 or the
// picture is not in Format_BGR888.
void twirlClockwise(QImage& picture, int x, int y, int radius, int strength, Progress& progress);

// The same step turning anticlockwise.
void twirlAnticlockwise(QImage& picture, int x, int y, int radius, int strength,
                        Progress& progress);

}  // namespace effects
