// A slow, literal smudge for the tests to hold the fast one against: two full picture
// copies, the eight direction cases written out one by one, every pixel of every column
// worked out from the formulas as written and sampled with the public sampler, writes
// outside the picture dropped.
#pragma once

#include <QImage>
#include <cstdint>

namespace reference {

// `tumopic` with effect radius a = `radius`, all points in picture pixels. Returns the
// number of progress steps (one per column). Makes the same choices the fast smudge
// documents: the side of P along (1, k) where the corner tests do not tell it, a pixel with
// a non-finite source keeps its colour.
int64_t smudge(QImage& picture, int pressX, int pressY, int releaseX, int releaseY, int radius);

}  // namespace reference
