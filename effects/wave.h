// The wave (`WaveWrap`) as a pure function over the picture.
#pragma once

#include <QImage>
#include <cstdint>

#include "effects/progress.h"

namespace effects {

// Where destination pixel (col, row) of a width x height picture takes its colour from under
// the wave with column scale a, row scale b and amplitude c: column
// Rnd(sin(row / b)·c + col) and row Rnd(cos(col / a)·c + row), in long double, halves to even,
// each wrapped around to the other side of the picture when it falls off an edge:
// - a column x < 0 becomes (W − 1) − (−x mod W), one >= W becomes x mod W;
// - a row y < 0 becomes (H − 1) − (−y mod H), one >= H becomes y mod (H − 1), so row H wraps
//   to row 1 and the bottom row is not reached from below.
// A picture of height 1 has no H − 1 rows to wrap by: every source row is its one row 0.
// a and b must not be 0.
struct WaveSource {
    int col;
    int row;
};
WaveSource waveSource(int col, int row, int width, int height, int a, int b, int c);

// Applies the wave to the whole of a Format_BGR888 picture in one pass: every pixel copies the
// whole pixel at its waveSource() in the picture as it was before the call (no blending).
// Makes one progress step per row, on the calling thread. Any width and height work.
//
// a = 0 or b = 0 has no wave to lay: the picture stays as it was, no progress step is made
// and the result is false. Otherwise (also for an empty picture) the result is true.
// Throws std::invalid_argument for a picture in another format.
bool wave(QImage& picture, int a, int b, int c, Progress& progress);

}  // namespace effects
