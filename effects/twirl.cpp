#include "effects/twirl.h"

#include <vector>

#include "effects/disc_runner.h"
#include "effects/twirl_kernel.h"

namespace effects {

namespace {

using detail::BoxBuffer;
using detail::Raster;
using detail::TangentShift;
using detail::TwirlProfile;

// The pair of columns X − v and X + v of the quadrant passes. Both have the same rows, and
// their four pixels (X ± v, Y ± w) share one tangent shift, so the passes are walked folded:
// the costly shift is worked out once for four pixels.
struct ColumnPair {
    int64_t v = 0;
    bool left = false;             // X − v lies inside the picture
    bool right = false;            // X + v does
    int aboveLo = 1, aboveHi = 0;  // rows above the centre, clipped to the picture
    int belowLo = 1, belowHi = 0;  // rows below

    bool visitsAbove(int64_t row) const { return row >= aboveLo && row <= aboveHi; }
    bool visitsBelow(int64_t row) const { return row >= belowLo && row <= belowHi; }
    int64_t pixels() const {
        const int64_t rows =
            std::max(0, aboveHi - aboveLo + 1) + std::max(0, belowHi - belowLo + 1);
        return rows * (int{left} + int{right});
    }
};

std::vector<ColumnPair> columnPairs(int64_t X, int64_t Y, int64_t R, const detail::Box& box) {
    // v for which X + v or X − v lies in the picture, within 1..R − 1.
    const int64_t vFirst = std::max<int64_t>(1, std::min(box.left - X, X - box.right));
    const int64_t vLast = std::min<int64_t>(R - 1, std::max(box.right - X, X - box.left));
    std::vector<ColumnPair> pairs;
    for (int64_t v = vFirst; v <= vLast; ++v) {
        ColumnPair pair;
        pair.v = v;
        pair.left = X - v >= box.left && X - v <= box.right;
        pair.right = X + v >= box.left && X + v <= box.right;
        if (!pair.left && !pair.right) {
            continue;
        }
        const long double b = std::sqrt(static_cast<long double>(R * R - v * v));
        detail::clipRange(detail::roundHalfEven(Y - b) + 1, Y - 1, box.top, box.bottom,
                          pair.aboveLo, pair.aboveHi);
        detail::clipRange(Y + 1, detail::roundHalfEven(Y + b) - 1, box.top, box.bottom,
                          pair.belowLo, pair.belowHi);
        if (pair.pixels() > 0) {
            pairs.push_back(pair);
        }
    }
    return pairs;
}

// The four quadrant passes. `turn` is +1 for the clockwise twirl, −1 for the anticlockwise
// one, whose source lies on the other side of the pixel.
void quadrantPasses(const std::vector<ColumnPair>& pairs, const TwirlProfile& profile,
                    long double turn, int64_t X, int64_t Y, const Raster& source, BoxBuffer& out,
                    detail::ProgressPacer& pacer) {
    constexpr size_t kBlock = 8;
    const size_t blocks = (pairs.size() + kBlock - 1) / kBlock;
    int64_t pixels = 0;
    for (const ColumnPair& pair : pairs) {
        pixels += pair.pixels();
    }
    auto put = [&](int64_t col, int64_t row, long double colShift, long double rowShift) {
        double sx = static_cast<double>(col + colShift);
        double sy = static_cast<double>(row + rowShift);
        detail::storeColour(out.pixel(static_cast<int>(col), static_cast<int>(row)),
                            detail::sample(sx, sy, source));
    };
    auto processBlock = [&](size_t block) {
        const size_t first = block * kBlock;
        const size_t last = std::min(pairs.size(), first + kBlock);
        int64_t wMin = INT64_MAX;
        int64_t wMax = INT64_MIN;
        for (size_t j = first; j < last; ++j) {
            const ColumnPair& p = pairs[j];
            if (p.aboveLo <= p.aboveHi) {
                wMin = std::min(wMin, Y - p.aboveHi);
                wMax = std::max(wMax, Y - p.aboveLo);
            }
            if (p.belowLo <= p.belowHi) {
                wMin = std::min(wMin, p.belowLo - Y);
                wMax = std::max(wMax, p.belowHi - Y);
            }
        }
        // Row pair by row pair, so reads and writes stay in a few rows at a time.
        for (int64_t w = wMin; w <= wMax; ++w) {
            const int64_t up = Y - w;
            const int64_t down = Y + w;
            for (size_t j = first; j < last; ++j) {
                const ColumnPair& p = pairs[j];
                const bool above = p.visitsAbove(up);
                const bool below = p.visitsBelow(down);
                if (!above && !below) {
                    continue;
                }
                // Source = (col + D·vy / r, row − D·vx / r), times `turn`.
                const TangentShift shift = detail::tangentShift(profile, p.v, w);
                const long double across = turn * shift.across;
                const long double along = turn * shift.along;
                if (p.right) {
                    if (above) {
                        put(X + p.v, up, -across, -along);
                    }
                    if (below) {
                        put(X + p.v, down, across, -along);
                    }
                }
                if (p.left) {
                    if (below) {
                        put(X - p.v, down, across, along);
                    }
                    if (above) {
                        put(X - p.v, up, -across, along);
                    }
                }
            }
        }
    };
    auto units = [&](size_t block) {
        return static_cast<int64_t>(std::min(kBlock, pairs.size() - block * kBlock));
    };
    detail::shareBlocks(blocks, pixels, static_cast<int64_t>(pairs.size()), processBlock, units,
                        pacer);
}

// The four axis passes through the sampler: on row Y the source moves up (clockwise, right
// of the centre) or down, on column X right or left, by D(d) at distance d.
void axisPasses(const TwirlProfile& profile, long double turn, int64_t X, int64_t Y, int64_t R,
                const Raster& source, BoxBuffer& out) {
    const detail::Box& box = out.box();
    auto put = [&](int64_t col, int64_t row, long double sxExact, long double syExact) {
        double sx = static_cast<double>(sxExact);
        double sy = static_cast<double>(syExact);
        detail::storeColour(out.pixel(static_cast<int>(col), static_cast<int>(row)),
                            detail::sample(sx, sy, source));
    };
    detail::forCentreRow(box, X, Y, R, [&](int col) {
        if (col > X) {
            put(col, Y, col, Y - turn * profile.at(col - X));
        } else {
            put(col, Y, col, Y + turn * profile.at(X - col));
        }
    });
    detail::forCentreColumn(box, X, Y, R, [&](int row) {
        if (row > Y) {
            put(X, row, X + turn * profile.at(row - Y), row);
        } else {
            put(X, row, X - turn * profile.at(Y - row), row);
        }
    });
}

void twirl(QImage& picture, int x, int y, int radius, int strength, Progress& progress,
           long double turn, const char* operation) {
    detail::checkDiscArguments(picture, strength, operation);
    if (radius <= 1) {
        return;
    }
    const int64_t X = x;
    const int64_t Y = y;
    const int64_t R = radius;
    const TwirlProfile profile = TwirlProfile::of(R, strength);
    detail::ProgressPacer pacer(progress, 4 * (R - 1));
    const detail::Box box = detail::clippedSquare(X, Y, R - 1, picture.width(), picture.height());
    detail::runInBox(picture, box, pacer, [&](const Raster& source, BoxBuffer& out) {
        quadrantPasses(columnPairs(X, Y, R, box), profile, turn, X, Y, source, out, pacer);
        axisPasses(profile, turn, X, Y, R, source, out);
    });
}

}  // namespace

void twirlClockwise(QImage& picture, int x, int y, int radius, int strength, Progress& progress) {
    twirl(picture, x, y, radius, strength, progress, 1, "twirlClockwise");
}

void twirlAnticlockwise(QImage& picture, int x, int y, int radius, int strength,
                        Progress& progress) {
    twirl(picture, x, y, radius, strength, progress, -1, "twirlAnticlockwise");
}

}  // namespace effects
