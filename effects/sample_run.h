// Many samples of one picture through the program's bilinear sampler at once: each output pixel
// is exactly what effects::sampleBilinear gives at its position, several times quicker. The
// blend runs in single precision on vectors (eight pixels at a time where the processor has
// 256-bit vectors, checked when the program runs), and pixels near a rounding tie go through
// the exact sampler. The warps resample through it.
#pragma once

#include <QImage>

#include "effects/raster.h"

namespace effects {

class SampleRun {
public:
    // `source` must be Format_BGR888 and stay unchanged while the runner is used.
    explicit SampleRun(const QImage& source);

    // Samples at the `count` positions (sx[k], sy[k]) into consecutive pixels from `to`.
    void run(uchar* to, const double* sx, const double* sy, int count) const;
    // The same for a run of the picture's own pixels from (x0, y), whose bytes are `own`: a
    // pixel whose position is its own place is copied (the sampler would blend the last row
    // and column from their neighbours).
    void runKeepingOwn(uchar* to, const double* sx, const double* sy, int count, const uchar* own,
                       int x0, int y) const;

    int width() const { return raster_.width; }
    int height() const { return raster_.height; }
    const uchar* row(int y) const { return raster_.row(y); }

private:
    void runOwn(uchar* to, const double* sx, const double* sy, int count,
                const void* ownPlace) const;

    detail::Raster raster_;
    bool wide_;
};

}  // namespace effects
