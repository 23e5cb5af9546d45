// Slow, obviously correct versions of the disc effects and the sampler for the tests to hold the
// fast effects against: two full picture copies, QImage::pixel reads and bounds-checked setPixel
// writes, every loop in the documented order.
#pragma once

#include <QImage>
#include <cstdint>

namespace reference {

// xiangsujuhe, long double throughout; a picture one pixel wide or high uses its one
// column or row for both neighbours, as the fast sampler documents.
uint32_t sample(double& x, double& y, const QImage& source);

// Sphericalpengzhang and Sphericalshousuo on the picture; they return the number of
// progress steps (F5) made. Where the fast code makes a documented choice (the bulge's
// axis source outside the picture), these make the same.
// Source positions of destination pixel (col, row), as the doubles the sampler takes.
void bulgeSource(int64_t x, int64_t y, int64_t radius, int64_t strength, int64_t col, int64_t row,
                 double& sx, double& sy);
void pinchSource(int64_t x, int64_t y, int64_t radius, int64_t strength, int64_t col, int64_t row,
                 double& sx, double& sy);

int64_t bulge(QImage& picture, int x, int y, int radius, int strength);
int64_t pinch(QImage& picture, int x, int y, int radius, int strength);

// Sphericalyouxuan (clockwise) and Sphericalzuoxuan; they return the number of progress
// steps made. twirlSource gives the source of a pixel off both axes.
void twirlSource(int64_t x, int64_t y, int64_t radius, int64_t strength, bool clockwise,
                 int64_t col, int64_t row, double& sx, double& sy);
int64_t twirl(QImage& picture, int x, int y, int radius, int strength, bool clockwise);

// Verticalpengzhang and Horizontalpengzhang. They return the number of progress steps, or
// -1 when a pixel inside the picture has no source (a square root argument <= 0), in which
// case the picture is left as it was, as the fast stretches do.
int64_t stretchVertical(QImage& picture, int x, int y, int radius, int strength);
int64_t stretchHorizontal(QImage& picture, int x, int y, int radius, int strength);
// The moved coordinate of pixel (col, row) under the vertical stretch (its source row).
double stretchVerticalSourceRow(int64_t x, int64_t y, int64_t radius, int64_t strength, int64_t col,
                                int64_t row);

// Verticalshousuo and Horizontalshousuo; they return the number of progress steps.
int64_t squeeze(QImage& picture, int x, int y, int radius, int strength, bool vertical);

}  // namespace reference
