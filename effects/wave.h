// The wave (`WaveWrap`) as a pure function over the picture.
#pragma once

#include <QImage>

#include "effects/progress.h"

namespace effects {

// Applies the wave with column scale a, row scale b and amplitude c to the whole of a
// Format_BGR888 picture in one pass: destination pixel (col, row) copies the whole pixel (no
// blending) of the picture as it was before the call at column Rnd(sin(row / b)·c + col) and
// row Rnd(cos(col / a)·c + row), in long double, halves to even, each wrapped around to the
// other side of the picture when it falls off an edge:
// - a column x < 0 becomes (W − 1) − (−x mod W), one >= W becomes x mod W;
// - a row y < 0 becomes (H − 1) − (−y mod H), one >= H becomes y mod (H − 1), so row H wraps
//   to row 1 and the bottom row is not reached from below.
// A picture of height 1 has no H − 1 rows to wrap by: every source row is its one row 0.
// Makes one progress step per row, on the calling thread. Any width and height work.
//
// a = 0 or b = 0 has no wave to lay: the picture stays as it was, no progress step is made
// and the result is false. Otherwise (also for an empty picture) the result is true.
// Throws std::invalid_argument for a picture in another format.
bool wave(QImage& picture, int a, int b, int c, Progress& progress);

}  // namespace effects
