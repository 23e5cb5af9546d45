#include "face/face_warp.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>
#include <optional>

#include "effects/sample_run.h"
#include "formats/photo/row_bands.h"

namespace face {

namespace {

// Eight floats handled as one (a 256-bit vector where the processor has them, a pair of
// 128-bit ones otherwise), and their bits.
typedef float Lanes __attribute__((vector_size(32)));
typedef uint32_t LaneBits __attribute__((vector_size(32)));

// The natural logarithm of positive finite numbers, on the bits alone and without branches,
// for one double (to about 1e-12) or for Lanes of floats (to about 1e-7): v = 2^k z with z in
// [sqrt(1/2), sqrt(2)), and ln z = 2 atanh(s), s = (z - 1) / (z + 1), by its series.
template <class Real, class Bits>
[[gnu::always_inline]] inline void quickLog(const Real& v, Real& result) {
    constexpr bool single = sizeof(Real) == sizeof(Lanes);
    constexpr int kMantissa = single ? 23 : 52;
    constexpr uint64_t kBias = single ? 128 : 1024;
    constexpr uint64_t kHalfRoot = single ? 0x3f3504f3 : 0x3fe6a09e667f3bcdULL;  // sqrt(1/2)
    constexpr uint64_t kTopBits = single ? 0xff800000 : 0xfff0000000000000ULL;
    constexpr uint64_t kMagic = single ? 0x4b000000 : 0x4330000000000000ULL;  // 2^mantissa
    // memcpy rather than std::bit_cast, which would return a vector by value.
    const auto reinterpret = [](const auto& from, auto& to) { std::memcpy(&to, &from, sizeof to); };
    Bits bits;
    reinterpret(v, bits);
    const Bits offset = bits - kHalfRoot;
    // k + bias in the low bits of a number of exponent `mantissa` gives k exactly.
    const Bits biased = ((offset + (kBias << kMantissa)) >> kMantissa) | kMagic;
    Real k, z;
    reinterpret(biased, k);
    k -= static_cast<double>(uint64_t{1} << kMantissa) + kBias;
    const Bits mantissa = bits - (offset & kTopBits);
    reinterpret(mantissa, z);
    const Real s = (z - 1) / (z + 1);
    const Real s2 = s * s;
    constexpr double c3 = 1 / 3.0, c5 = 1 / 5.0, c7 = 1 / 7.0, c9 = 1 / 9.0, c11 = 1 / 11.0,
                     c13 = 1 / 13.0;
    Real series;
    if constexpr (single) {
        series = 1 + s2 * (float(c3) + s2 * (float(c5) + s2 * (float(c7) + s2 * float(c9))));
        result = k * float(std::numbers::ln2) + 2 * s * series;
    } else {
        series = 1 + s2 * (c3 + s2 * (c5 + s2 * (c7 + s2 * (c9 + s2 * (c11 + s2 * c13)))));
        result = k * std::numbers::ln2 + 2 * s * series;
    }
}

// The thin-plate kernel of a squared distance, r² ln r² (0 at 0; the tiny addend keeps the
// logarithm's argument normal there).
template <class Real, class Bits>
[[gnu::always_inline]] inline void kernel(const Real& r2, Real& result) {
    Real log;
    if constexpr (sizeof(Real) == sizeof(Lanes)) {
        quickLog<Real, Bits>(r2 + 1e-30f, log);
    } else {
        quickLog<Real, Bits>(r2 + 1e-300, log);
    }
    result = r2 * log;
}

double kernel(double r2) {
    double result;
    kernel<double, uint64_t>(r2, result);
    return result;
}

// One point of the map: the output position `at` reads the picture at at + shift.
struct Centre {
    QPointF at;
    QPointF shift;
};

// The thin-plate spline through the centres, in coordinates centred on them and scaled to
// unit spread for a well-conditioned system; its values are displacements in pixels.
class Spline {
public:
    explicit Spline(const std::vector<Centre>& centres);

    // The displacements at `count` points (count <= kBatch) of picture coordinates x, y.
    static constexpr int kBatch = 8;
    void evaluate(const double* x, const double* y, int count, double* dx, double* dy) const;

private:
    struct Terms {
        const float *cx, *cy, *wx, *wy;
        size_t count;
    };
    static void sumKernels(const Terms& terms, const float* px, const float* py, float* sx,
                           float* sy);
#if defined(__x86_64__) && defined(__GNUC__)
    [[gnu::target("avx2")]] static void sumKernelsWide(const Terms& terms, const float* px,
                                                       const float* py, float* sx, float* sy);
#endif

    double originX_ = 0, originY_ = 0, scale_ = 1;
    std::vector<double> cx_, cy_;             // the centres
    std::vector<float> fx_, fy_, fwx_, fwy_;  // the same and their weights, for the sums
    double affineX_[3] = {0, 0, 0}, affineY_[3] = {0, 0, 0};
    bool wide_ = false;  // the processor has 256-bit vectors
};

Spline::Spline(const std::vector<Centre>& centres) {
#if defined(__x86_64__) && defined(__GNUC__)
    wide_ = __builtin_cpu_supports("avx2");
#endif
    const size_t n = centres.size();
    if (n == 0) {
        return;
    }
    for (const Centre& c : centres) {
        originX_ += c.at.x();
        originY_ += c.at.y();
    }
    originX_ /= static_cast<double>(n);
    originY_ /= static_cast<double>(n);
    double spread = 0;
    for (const Centre& c : centres) {
        spread += std::pow(c.at.x() - originX_, 2) + std::pow(c.at.y() - originY_, 2);
    }
    spread = std::sqrt(spread / static_cast<double>(n));
    scale_ = spread > 0 ? 1 / spread : 1;
    for (const Centre& c : centres) {
        cx_.push_back((c.at.x() - originX_) * scale_);
        cy_.push_back((c.at.y() - originY_) * scale_);
    }

    // [K P; P^T 0] [w; a] = [v; 0], solved for both coordinates by Gaussian elimination with
    // partial pivoting. The system is symmetric but indefinite.
    const size_t m = n + 3;
    std::vector<double> system(m * (m + 2), 0.0);
    const auto at = [&](size_t row, size_t column) -> double& {
        return system[row * (m + 2) + column];
    };
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = 0; j < n; ++j) {
            const double dx = cx_[i] - cx_[j], dy = cy_[i] - cy_[j];
            at(i, j) = kernel(dx * dx + dy * dy);
        }
        const double polynomial[3] = {1, cx_[i], cy_[i]};
        for (size_t k = 0; k < 3; ++k) {
            at(i, n + k) = polynomial[k];
            at(n + k, i) = polynomial[k];
        }
        at(i, m) = centres[i].shift.x();
        at(i, m + 1) = centres[i].shift.y();
    }
    for (size_t column = 0; column < m; ++column) {
        size_t pivot = column;
        for (size_t row = column + 1; row < m; ++row) {
            if (std::abs(at(row, column)) > std::abs(at(pivot, column))) {
                pivot = row;
            }
        }
        if (at(pivot, column) == 0) {
            continue;  // a singular system (collinear centres): that unknown stays 0
        }
        if (pivot != column) {
            for (size_t k = column; k < m + 2; ++k) {
                std::swap(at(pivot, k), at(column, k));
            }
        }
        for (size_t row = column + 1; row < m; ++row) {
            const double f = at(row, column) / at(column, column);
            if (f != 0) {
                for (size_t k = column; k < m + 2; ++k) {
                    at(row, k) -= f * at(column, k);
                }
            }
        }
    }
    std::vector<double> solution(2 * m, 0.0);
    for (size_t row = m; row-- > 0;) {
        if (at(row, row) == 0) {
            continue;
        }
        for (size_t r = 0; r < 2; ++r) {
            double sum = at(row, m + r);
            for (size_t k = row + 1; k < m; ++k) {
                sum -= at(row, k) * solution[r * m + k];
            }
            solution[r * m + row] = sum / at(row, row);
        }
    }
    for (size_t k = 0; k < n; ++k) {
        fx_.push_back(static_cast<float>(cx_[k]));
        fy_.push_back(static_cast<float>(cy_[k]));
        fwx_.push_back(static_cast<float>(solution[k]));
        fwy_.push_back(static_cast<float>(solution[m + k]));
    }
    for (size_t k = 0; k < 3; ++k) {
        affineX_[k] = solution[n + k];
        affineY_[k] = solution[m + n + k];
    }
}

// The kernel sums of one batch of eight points, in single precision, which is twice as quick
// as double: on a face 1500 pixels high under the strongest moves the sums stay within 0.02
// pixels of the spline, and the grid's nudging puts the targets back in place anyway. The
// same operations lane by lane whatever the vector width, so both variants give the same
// bits.
[[gnu::always_inline]] inline void sumBatch(const float* cx, const float* cy, const float* wx,
                                            const float* wy, size_t count, const float* px,
                                            const float* py, float* sx, float* sy) {
    Lanes x, y, sumX{}, sumY{};
    std::memcpy(&x, px, sizeof x);
    std::memcpy(&y, py, sizeof y);
    for (size_t k = 0; k < count; ++k) {
        const Lanes ex = x - cx[k], ey = y - cy[k];
        Lanes u;
        kernel<Lanes, LaneBits>(ex * ex + ey * ey, u);
        sumX += wx[k] * u;
        sumY += wy[k] * u;
    }
    std::memcpy(sx, &sumX, sizeof sumX);
    std::memcpy(sy, &sumY, sizeof sumY);
}

void Spline::sumKernels(const Terms& t, const float* px, const float* py, float* sx, float* sy) {
    sumBatch(t.cx, t.cy, t.wx, t.wy, t.count, px, py, sx, sy);
}

#if defined(__x86_64__) && defined(__GNUC__)
void Spline::sumKernelsWide(const Terms& t, const float* px, const float* py, float* sx,
                            float* sy) {
    sumBatch(t.cx, t.cy, t.wx, t.wy, t.count, px, py, sx, sy);
}
#endif

void Spline::evaluate(const double* x, const double* y, int count, double* dx, double* dy) const {
    float px[kBatch], py[kBatch], sx[kBatch], sy[kBatch];
    for (int l = 0; l < kBatch; ++l) {
        const int i = std::min(l, count - 1);
        px[l] = static_cast<float>((x[i] - originX_) * scale_);
        py[l] = static_cast<float>((y[i] - originY_) * scale_);
    }
    const Terms terms{fx_.data(), fy_.data(), fwx_.data(), fwy_.data(), fx_.size()};
#if defined(__x86_64__) && defined(__GNUC__)
    if (wide_) {
        sumKernelsWide(terms, px, py, sx, sy);
    } else {
        sumKernels(terms, px, py, sx, sy);
    }
#else
    sumKernels(terms, px, py, sx, sy);
#endif
    for (int l = 0; l < count; ++l) {
        const double nx = (x[l] - originX_) * scale_, ny = (y[l] - originY_) * scale_;
        dx[l] = affineX_[0] + affineX_[1] * nx + affineX_[2] * ny + sx[l];
        dy[l] = affineY_[0] + affineY_[1] * nx + affineY_[2] * ny + sy[l];
    }
}

// A face's ring: the warp fades from full inside `inner` to nothing at `outer`, whose sides
// lie on grid lines so that the cells outside it have still corners only.
struct Ring {
    QRectF inner;
    QRect outer;  // in picture pixels, sides on multiples of the grid step
};

double smoothStep(double t) {
    return t * t * (3 - 2 * t);
}

// 1 on [innerLow, innerHigh], 0 outside (outerLow, outerHigh), smooth in between.
double fade(double v, double outerLow, double innerLow, double innerHigh, double outerHigh) {
    if (v <= outerLow || v >= outerHigh) {
        return 0;
    }
    if (v < innerLow) {
        return smoothStep((v - outerLow) / (innerLow - outerLow));
    }
    if (v > innerHigh) {
        return smoothStep((outerHigh - v) / (outerHigh - innerHigh));
    }
    return 1;
}

double weightAt(const std::vector<Ring>& rings, double x, double y) {
    double weight = 0;
    for (const Ring& ring : rings) {
        const QRect& o = ring.outer;
        const double w = fade(x, o.left(), ring.inner.left(), ring.inner.right(), o.right()) *
                         fade(y, o.top(), ring.inner.top(), ring.inner.bottom(), o.bottom());
        weight = std::max(weight, w);
    }
    return weight;
}

// Exact comparison (QPointF's == allows for rounding).
bool differ(QPointF a, QPointF b) {
    return a.x() != b.x() || a.y() != b.y();
}

bool moves(const FaceMove& move) {
    for (int i = 0; i < kLandmarkCount; ++i) {
        if (differ(move.from[i], move.to[i])) {
            return true;
        }
    }
    return std::any_of(move.extra.begin(), move.extra.end(),
                       [](const auto& pair) { return differ(pair.first, pair.second); });
}

// The box and every point of the move, before and after.
QRectF coreOf(const FaceMove& move) {
    double left = move.box.left(), right = move.box.right();
    double top = move.box.top(), bottom = move.box.bottom();
    if (move.box.isEmpty()) {
        left = top = std::numeric_limits<double>::infinity();
        right = bottom = -left;
    }
    const auto include = [&](QPointF p) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    };
    for (int i = 0; i < kLandmarkCount; ++i) {
        include(move.from[i]);
        include(move.to[i]);
    }
    for (const auto& [from, to] : move.extra) {
        include(from);
        include(to);
    }
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

// The ring is this many times the face's core about its centre; the fade starts just
// outside the core.
constexpr double kRingScale = 1.6;
constexpr double kInnerMargin = 0.05;

// Grid spacing for a face of the given size: interpolating the spline bilinearly errs by
// about h² times its curvature, which falls as 1 / size, so h grows with the root of the size.
int gridStepFor(double size) {
    const double wanted = std::clamp(0.45 * std::sqrt(std::max(size, 1.0)), 2.0, 32.0);
    return static_cast<int>(std::bit_floor(static_cast<unsigned>(wanted)));
}

int floorTo(double v, int step) {
    return static_cast<int>(std::floor(v / step)) * step;
}
int ceilTo(double v, int step) {
    return static_cast<int>(std::ceil(v / step)) * step;
}

bool insideAny(const std::vector<Ring>& rings, QPointF p) {
    return std::any_of(rings.begin(), rings.end(),
                       [&](const Ring& ring) { return ring.inner.contains(p); });
}

bool finite(QPointF p) {
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

// Whether the move can be used: all its points finite.
bool usable(const FaceMove& move) {
    return std::all_of(move.from.begin(), move.from.end(), finite) &&
           std::all_of(move.to.begin(), move.to.end(), finite) &&
           std::all_of(move.extra.begin(), move.extra.end(),
                       [](const auto& pair) { return finite(pair.first) && finite(pair.second); });
}

// Faces whose rings overlap share one spline; the others each have their own, so that the
// splines stay small and a face far away has no say.
struct Group {
    std::vector<Ring> rings;
    QRect bounds;  // of the rings
    std::vector<Centre> centres;
    std::vector<int> merged;  // how many points each centre stands for

    // Points closer than a hundredth of a pixel become one, with their shifts averaged.
    void add(QPointF at, QPointF shift) {
        for (size_t i = 0; i < centres.size(); ++i) {
            const QPointF d = centres[i].at - at;
            if (d.x() * d.x() + d.y() * d.y() < 1e-4) {
                const int count = ++merged[i];
                centres[i].shift += (shift - centres[i].shift) / count;
                return;
            }
        }
        centres.push_back({at, shift});
        merged.push_back(1);
    }
    void addFace(const FaceMove& move) {
        for (int i = 0; i < kLandmarkCount; ++i) {
            add(move.to[i], move.from[i] - move.to[i]);
        }
        for (const auto& [from, to] : move.extra) {
            add(to, from - to);
        }
    }
    // Fixed points on each ring and on the picture's border inside it, where no face is.
    void addPins(QSize pictureSize) {
        constexpr int kPinsPerSide = 4;
        const QRectF picture(0, 0, pictureSize.width() - 1, pictureSize.height() - 1);
        const auto pin = [&](QPointF at) {
            if (!insideAny(rings, at)) {
                add(at, {});
            }
        };
        for (const Ring& ring : rings) {
            const QRectF o(ring.outer);
            for (int k = 0; k < kPinsPerSide; ++k) {
                const double f = static_cast<double>(k) / kPinsPerSide;
                pin({o.left() + f * o.width(), o.top()});
                pin({o.right(), o.top() + f * o.height()});
                pin({o.right() - f * o.width(), o.bottom()});
                pin({o.left(), o.bottom() - f * o.height()});
            }
            const QRectF span = o.intersected(picture);
            const auto along = [&](QPointF from, QPointF to) {
                for (int k = 0; k <= 2 * kPinsPerSide; ++k) {
                    pin(from + (to - from) * k / (2.0 * kPinsPerSide));
                }
            };
            if (o.left() < 0) {
                along(span.topLeft(), span.bottomLeft());
            }
            if (o.right() > picture.right()) {
                along(span.topRight(), span.bottomRight());
            }
            if (o.top() < 0) {
                along(span.topLeft(), span.topRight());
            }
            if (o.bottom() > picture.bottom()) {
                along(span.bottomLeft(), span.bottomRight());
            }
        }
    }
};

// Node values along a node row interpolated to the fraction v towards the next row, the
// first step of the bilinear blend (sourceOf and the pixel loops share it).
inline QPointF blendRows(QPointF upper, QPointF lower, double v) {
    return {upper.x() + (lower.x() - upper.x()) * v, upper.y() + (lower.y() - upper.y()) * v};
}
inline QPointF blendColumns(QPointF left, QPointF right, double u) {
    return {left.x() + (right.x() - left.x()) * u, left.y() + (right.y() - left.y()) * u};
}

// The source positions of `count` pixels of a cell's row from (x0, y), `offset` pixels into
// the cell, between its interpolated left and right node values: x + blendColumns(left,
// right, u), as sourceOf computes it, four at a time.
inline void sourcesAlong(QPointF left, QPointF right, int offset, int count, int x0, int y,
                         double inverse, double* sx, double* sy) {
    typedef double Four __attribute__((vector_size(32)));
    const double lx = left.x(), ly = left.y();
    const double ex = right.x() - lx, ey = right.y() - ly;
    int k = 0;
    for (; k + 4 <= count; k += 4) {
        const Four steps = {0, 1, 2, 3};
        const Four u = (steps + (offset + k)) * inverse;
        const Four x = steps + (x0 + k);
        const Four px = x + (lx + ex * u);
        const Four py = y + (ly + ey * u);
        std::memcpy(sx + k, &px, sizeof px);
        std::memcpy(sy + k, &py, sizeof py);
    }
    for (; k < count; ++k) {
        const double u = (offset + k) * inverse;
        sx[k] = (x0 + k) + (lx + ex * u);
        sy[k] = y + (ly + ey * u);
    }
}

inline bool still(QPointF d) {
    return d.x() == 0 && d.y() == 0;
}

inline void copyPixel(uchar* to, const uchar* from) {
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
}

// The nodes of `grid` (columns x rows from origin, `step` apart) nudged so that the
// interpolated map reads each target's source.
void landOnTargets(std::vector<QPointF>& grid, QPoint origin, int step, int columns, int rows,
                   const std::vector<Centre>& targets) {
    // The grid samples the spline, and bilinear interpolation between its nodes misses it by
    // up to a few pixels where it bends sharply, as between the lips. So the nodes around
    // each target are nudged, by the least change that makes the interpolated map read that
    // target's source (Kaczmarz sweeps), until every target lands within a hundredth of a
    // pixel or the sweeps run out (targets closer than a cell may ask for the impossible).
    // Targets lie inside their rings' full part, so no node at a ring's edge changes.
    const double inverse = 1.0 / step;
    for (int sweep = 0; sweep < 64; ++sweep) {
        double worst = 0;
        for (const Centre& target : targets) {
            const double gx = (target.at.x() - origin.x()) * inverse;
            const double gy = (target.at.y() - origin.y()) * inverse;
            if (!(gx >= 0 && gy >= 0 && gx < columns - 1 && gy < rows - 1)) {
                continue;
            }
            const int i = static_cast<int>(gx);
            const int j = static_cast<int>(gy);
            const double u = gx - i;
            const double v = gy - j;
            QPointF* upper = &grid[static_cast<size_t>(j * columns + i)];
            QPointF* lower = upper + columns;
            const QPointF miss = target.shift - blendColumns(blendRows(upper[0], lower[0], v),
                                                             blendRows(upper[1], lower[1], v), u);
            worst = std::max(worst, std::abs(miss.x()) + std::abs(miss.y()));
            const double weights[4] = {(1 - u) * (1 - v), u * (1 - v), (1 - u) * v, u * v};
            const double norm = weights[0] * weights[0] + weights[1] * weights[1] +
                                weights[2] * weights[2] + weights[3] * weights[3];
            QPointF* nodes[4] = {&upper[0], &upper[1], &lower[0], &lower[1]};
            for (int k = 0; k < 4; ++k) {
                *nodes[k] += miss * (weights[k] / norm);
            }
        }
        if (worst < 0.01) {
            break;
        }
    }
}

}  // namespace

FaceWarp::FaceWarp(QSize pictureSize, const std::vector<FaceMove>& moves) : size_(pictureSize) {
    std::vector<const FaceMove*> moving, still;
    double smallest = std::numeric_limits<double>::infinity();
    for (const FaceMove& move : moves) {
        if (!usable(move)) {
            continue;  // a face with points at infinity or NaN is left as it is
        }
        if (face::moves(move)) {
            moving.push_back(&move);
            const QRectF core = coreOf(move);
            smallest = std::min(smallest, std::max(core.width(), core.height()));
        } else {
            still.push_back(&move);
        }
    }
    if (moving.empty() || pictureSize.isEmpty()) {
        return;  // the identity: nothing touched
    }
    step_ = gridStepFor(smallest);
    shift_ = std::countr_zero(static_cast<unsigned>(step_));

    // Each moving face's ring, kept within a picture's size around the picture so that its
    // sides are sensible integers.
    const double reachX = pictureSize.width() + 64.0, reachY = pictureSize.height() + 64.0;
    std::vector<Ring> rings;
    for (const FaceMove* move : moving) {
        const QRectF core = coreOf(*move);
        const QPointF mid = core.center();
        const double halfW = std::max(core.width(), 1.0) / 2;
        const double halfH = std::max(core.height(), 1.0) / 2;
        const double grow = 1 + 2 * kInnerMargin;
        const QRectF inner(mid.x() - grow * halfW, mid.y() - grow * halfH, grow * 2 * halfW,
                           grow * 2 * halfH);
        const auto within = [](double v, double low, double high) {
            return std::clamp(v, low, high);
        };
        const int left = floorTo(within(mid.x() - kRingScale * halfW, -reachX, 2 * reachX), step_);
        const int top = floorTo(within(mid.y() - kRingScale * halfH, -reachY, 2 * reachY), step_);
        const int right = ceilTo(within(mid.x() + kRingScale * halfW, -reachX, 2 * reachX), step_);
        const int bottom = ceilTo(within(mid.y() + kRingScale * halfH, -reachY, 2 * reachY), step_);
        rings.push_back({inner, QRect(QPoint(left, top), QPoint(right, bottom))});
    }

    // Pixels strictly inside a ring, within the picture, may change.
    QRect touched;
    for (const Ring& ring : rings) {
        touched |= ring.outer.adjusted(1, 1, -1, -1);
    }
    region_ = touched & QRect(QPoint(0, 0), pictureSize);
    if (region_.isEmpty()) {
        return;
    }

    // Faces whose rings overlap, transitively, form a group.
    std::vector<size_t> groupOf(rings.size());
    for (size_t i = 0; i < rings.size(); ++i) {
        groupOf[i] = i;
    }
    const auto findGroup = [&](size_t i) {
        while (groupOf[i] != i) {
            i = groupOf[i] = groupOf[groupOf[i]];
        }
        return i;
    };
    for (size_t i = 0; i < rings.size(); ++i) {
        for (size_t j = i + 1; j < rings.size(); ++j) {
            if (rings[i].outer.adjusted(1, 1, -1, -1).intersects(rings[j].outer)) {
                groupOf[findGroup(i)] = findGroup(j);
            }
        }
    }
    std::vector<Group> groups;
    std::vector<size_t> slot(rings.size(), rings.size());
    for (size_t i = 0; i < rings.size(); ++i) {
        size_t& g = slot[findGroup(i)];
        if (g == rings.size()) {
            g = groups.size();
            groups.emplace_back();
        }
        groups[g].rings.push_back(rings[i]);
        groups[g].bounds |= rings[i].outer;
        groups[g].addFace(*moving[i]);
    }
    // The centres: the group's faces' points, those of still faces within its rings (pinned
    // where they are), and pins on the rings and the picture's border.
    std::vector<Centre> targets;
    for (Group& group : groups) {
        for (const FaceMove* move : still) {
            if (group.bounds.intersects(coreOf(*move).toAlignedRect())) {
                group.addFace(*move);
            }
        }
        targets.insert(targets.end(), group.centres.begin(), group.centres.end());
        group.addPins(pictureSize);
    }

    // Nodes from the region's first pixel to one past its last, so that every pixel of the
    // region has a cell below and to the right. Outside every ring they stay 0.
    origin_ = QPoint(floorTo(region_.left(), step_), floorTo(region_.top(), step_));
    columns_ = (region_.right() - origin_.x()) / step_ + 2;
    rows_ = (region_.bottom() - origin_.y()) / step_ + 2;
    grid_.assign(static_cast<size_t>(columns_) * static_cast<size_t>(rows_), QPointF());
    for (const Group& group : groups) {
        const Spline spline(group.centres);
        const int firstColumn = std::max(0, (group.bounds.left() - origin_.x()) / step_);
        const int lastColumn = std::min(columns_ - 1, (group.bounds.right() - origin_.x()) / step_);
        const int firstRow = std::max(0, (group.bounds.top() - origin_.y()) / step_);
        const int lastRow = std::min(rows_ - 1, (group.bounds.bottom() - origin_.y()) / step_);
        formats::forEachBand(lastRow - firstRow + 1, 4, [&](int first, int last) {
            double x[Spline::kBatch], y[Spline::kBatch], w[Spline::kBatch];
            double dx[Spline::kBatch], dy[Spline::kBatch];
            int index[Spline::kBatch];
            for (int j = firstRow + first; j < firstRow + last; ++j) {
                const double ny = origin_.y() + j * step_;
                int count = 0;
                const auto flush = [&] {
                    spline.evaluate(x, y, count, dx, dy);
                    for (int l = 0; l < count; ++l) {
                        grid_[static_cast<size_t>(index[l])] = {w[l] * dx[l], w[l] * dy[l]};
                    }
                    count = 0;
                };
                for (int i = firstColumn; i <= lastColumn; ++i) {
                    const double nx = origin_.x() + i * step_;
                    const double weight = weightAt(group.rings, nx, ny);
                    if (weight == 0) {
                        continue;
                    }
                    x[count] = nx;
                    y[count] = ny;
                    w[count] = weight;
                    index[count] = j * columns_ + i;
                    if (++count == Spline::kBatch) {
                        flush();
                    }
                }
                if (count > 0) {
                    flush();
                }
            }
        });
    }
    landOnTargets(grid_, origin_, step_, columns_, rows_, targets);
}

bool FaceWarp::folds() const {
    // The interpolated map is bilinear on each cell, so its Jacobian determinant is linear
    // there in each direction: positive at the four corners means positive on the cell.
    const double s = step_;
    for (int j = 0; j + 1 < rows_; ++j) {
        for (int i = 0; i + 1 < columns_; ++i) {
            const QPointF& d00 = grid_[static_cast<size_t>(j * columns_ + i)];
            const QPointF& d10 = grid_[static_cast<size_t>(j * columns_ + i + 1)];
            const QPointF& d01 = grid_[static_cast<size_t>((j + 1) * columns_ + i)];
            const QPointF& d11 = grid_[static_cast<size_t>((j + 1) * columns_ + i + 1)];
            if (still(d00) && still(d10) && still(d01) && still(d11)) {
                continue;
            }
            const QPointF top = QPointF(s, 0) + d10 - d00;  // along u at v = 0
            const QPointF bottom = QPointF(s, 0) + d11 - d01;
            const QPointF left = QPointF(0, s) + d01 - d00;  // along v at u = 0
            const QPointF right = QPointF(0, s) + d11 - d10;
            const auto cross = [](QPointF a, QPointF b) { return a.x() * b.y() - a.y() * b.x(); };
            if (!(cross(top, left) > 0 && cross(top, right) > 0 && cross(bottom, left) > 0 &&
                  cross(bottom, right) > 0)) {
                return true;
            }
        }
    }
    return false;
}

QRect FaceWarp::touchedRegion() const {
    return region_;
}

QPointF FaceWarp::sourceOf(double x, double y) const {
    if (grid_.empty()) {
        return {x, y};
    }
    const double inverse = 1.0 / step_;
    const double gx = (x - origin_.x()) * inverse;
    const double gy = (y - origin_.y()) * inverse;
    if (!(gx >= 0 && gy >= 0 && gx < columns_ - 1 && gy < rows_ - 1)) {
        return {x, y};
    }
    const int i = static_cast<int>(gx);
    const int j = static_cast<int>(gy);
    const double u = gx - i;
    const double v = gy - j;
    const QPointF* upper = &grid_[static_cast<size_t>(j * columns_ + i)];
    const QPointF* lower = upper + columns_;
    const QPointF d =
        blendColumns(blendRows(upper[0], lower[0], v), blendRows(upper[1], lower[1], v), u);
    if (still(d)) {
        return {x, y};
    }
    return {x + d.x(), y + d.y()};
}

QImage FaceWarp::apply(const QImage& picture) const {
    const QImage source = picture.format() == QImage::Format_BGR888
                              ? picture
                              : picture.convertToFormat(QImage::Format_BGR888);
    if (region_.isEmpty() || source.size() != size_) {
        return source;
    }
    const effects::SampleRun sampler(source);
    QImage out(size_, QImage::Format_BGR888);
    uchar* const outBits = out.bits();
    const qsizetype outStride = out.bytesPerLine();
    const int width = size_.width();
    const double inverse = 1.0 / step_;
    const int mask = step_ - 1;
    formats::forEachBand(size_.height(), 32, [&](int first, int last) {
        std::vector<QPointF> blended(static_cast<size_t>(columns_));
        std::vector<double> sx(static_cast<size_t>(region_.width()));
        std::vector<double> sy(static_cast<size_t>(region_.width()));
        for (int y = first; y < last; ++y) {
            uchar* to = outBits + y * outStride;
            const uchar* from = sampler.row(y);
            if (y < region_.top() || y > region_.bottom()) {
                std::memcpy(to, from, static_cast<size_t>(3 * width));
                continue;
            }
            std::memcpy(to, from, static_cast<size_t>(3 * region_.left()));
            std::memcpy(to + 3 * (region_.right() + 1), from + 3 * (region_.right() + 1),
                        static_cast<size_t>(3 * (width - 1 - region_.right())));
            const int j = (y - origin_.y()) >> shift_;
            const double v = ((y - origin_.y()) & mask) * inverse;
            const QPointF* upper = &grid_[static_cast<size_t>(j * columns_)];
            const QPointF* lower = upper + columns_;
            const int firstCell = (region_.left() - origin_.x()) >> shift_;
            const int lastCell = (region_.right() - origin_.x()) >> shift_;
            for (int i = firstCell; i <= lastCell + 1; ++i) {
                blended[static_cast<size_t>(i)] = blendRows(upper[i], lower[i], v);
            }
            // Runs of moving cells: their source positions first, then one sampling pass.
            int runStart = region_.left();
            int runLength = 0;
            const auto flush = [&] {
                sampler.runKeepingOwn(to + 3 * runStart, sx.data(), sy.data(), runLength,
                                      from + 3 * runStart, runStart, y);
                runLength = 0;
            };
            for (int i = firstCell; i <= lastCell; ++i) {
                const int cellX = origin_.x() + i * step_;
                const int x0 = std::max(region_.left(), cellX);
                const int x1 = std::min(region_.right(), cellX + step_ - 1);
                if (still(upper[i]) && still(upper[i + 1]) && still(lower[i]) &&
                    still(lower[i + 1])) {
                    if (runLength > 0) {
                        flush();
                    }
                    std::memcpy(to + 3 * x0, from + 3 * x0, static_cast<size_t>(3 * (x1 - x0 + 1)));
                    continue;
                }
                if (runLength == 0) {
                    runStart = x0;
                }
                sourcesAlong(blended[static_cast<size_t>(i)], blended[static_cast<size_t>(i + 1)],
                             x0 - cellX, x1 - x0 + 1, x0, y, inverse, sx.data() + runLength,
                             sy.data() + runLength);
                runLength += x1 - x0 + 1;
            }
            if (runLength > 0) {
                flush();
            }
        }
    });
    return out;
}

QImage FaceWarp::preview(const QImage& picture, const QRect& view, double zoomPercent) const {
    const QImage source = picture.format() == QImage::Format_BGR888
                              ? picture
                              : picture.convertToFormat(QImage::Format_BGR888);
    QImage out(view.size(), QImage::Format_BGR888);
    if (view.isEmpty() || source.isNull() || !(zoomPercent > 0)) {
        out.fill(Qt::black);
        return out;
    }
    const effects::SampleRun sampler(source);
    uchar* const outBits = out.bits();
    const qsizetype outStride = out.bytesPerLine();
    const double perView = 100.0 / zoomPercent;  // picture pixels per view pixel
    const auto nearest = [](double v, int size) {
        return std::clamp(static_cast<int>(std::floor(v)), 0, size - 1);
    };
    // Per view column: its picture position, nearest column and grid cell. The columns over
    // the grid are one range, [gridFirst, gridLast].
    const int columns = view.width();
    std::vector<double> px(static_cast<size_t>(columns));
    std::vector<int> nearestColumn(static_cast<size_t>(columns));
    std::vector<int> cell(static_cast<size_t>(columns));
    std::vector<double> fraction(static_cast<size_t>(columns));
    const double inverse = 1.0 / step_;
    int gridFirst = columns, gridLast = -1;
    for (int c = 0; c < columns; ++c) {
        const double x = (view.x() + c) * perView;
        px[static_cast<size_t>(c)] = x;
        nearestColumn[static_cast<size_t>(c)] = 3 * nearest(x, sampler.width());
        const double gx = (x - origin_.x()) * inverse;
        const bool inside = !grid_.empty() && gx >= 0 && gx < columns_ - 1;
        cell[static_cast<size_t>(c)] = inside ? static_cast<int>(gx) : -1;
        fraction[static_cast<size_t>(c)] = inside ? gx - static_cast<int>(gx) : 0;
        if (inside) {
            gridFirst = std::min(gridFirst, c);
            gridLast = c;
        }
    }
    formats::forEachBand(view.height(), 16, [&](int first, int last) {
        std::vector<double> sx(static_cast<size_t>(std::max(0, gridLast - gridFirst + 1)));
        std::vector<double> sy(sx.size());
        for (int r = first; r < last; ++r) {
            uchar* to = outBits + r * outStride;
            const double y = (view.y() + r) * perView;
            const uchar* from = sampler.row(nearest(y, sampler.height()));
            const double gy = (y - origin_.y()) * inverse;
            const bool overGrid = gridLast >= 0 && gy >= 0 && gy < rows_ - 1;
            for (int c = 0; c < columns; ++c) {
                if (overGrid && c == gridFirst) {
                    c = gridLast;  // done below
                    continue;
                }
                copyPixel(to + 3 * c, from + nearestColumn[static_cast<size_t>(c)]);
            }
            if (!overGrid) {
                continue;
            }
            const int j = static_cast<int>(gy);
            const double v = gy - j;
            const QPointF* upper = &grid_[static_cast<size_t>(j * columns_)];
            const QPointF* lower = upper + columns_;
            for (int c = gridFirst; c <= gridLast; ++c) {
                const int i = cell[static_cast<size_t>(c)];
                const QPointF d = blendColumns(blendRows(upper[i], lower[i], v),
                                               blendRows(upper[i + 1], lower[i + 1], v),
                                               fraction[static_cast<size_t>(c)]);
                sx[static_cast<size_t>(c - gridFirst)] = px[static_cast<size_t>(c)] + d.x();
                sy[static_cast<size_t>(c - gridFirst)] = y + d.y();
            }
            sampler.run(to + 3 * gridFirst, sx.data(), sy.data(), gridLast - gridFirst + 1);
            // Where the map is the identity the view shows the picture as it is.
            for (int c = gridFirst; c <= gridLast; ++c) {
                if (sx[static_cast<size_t>(c - gridFirst)] == px[static_cast<size_t>(c)] &&
                    sy[static_cast<size_t>(c - gridFirst)] == y) {
                    copyPixel(to + 3 * c, from + nearestColumn[static_cast<size_t>(c)]);
                }
            }
        }
    });
    return out;
}

std::vector<FaceMove> scaledMoves(const std::vector<FaceMove>& moves, double fraction) {
    std::vector<FaceMove> result = moves;
    if (fraction == 1) {
        return result;
    }
    const auto towards = [fraction](QPointF from, QPointF to) {
        return fraction == 0 ? from : from + fraction * (to - from);
    };
    for (FaceMove& move : result) {
        for (int i = 0; i < kLandmarkCount; ++i) {
            move.to[i] = towards(move.from[i], move.to[i]);
        }
        for (auto& [from, to] : move.extra) {
            to = towards(from, to);
        }
    }
    return result;
}

FaceWarp limitedWarp(QSize pictureSize, std::vector<FaceMove>& moves, double* kept) {
    FaceWarp full(pictureSize, moves);
    if (!full.folds()) {
        if (kept != nullptr) {
            *kept = 1;
        }
        return full;
    }
    const std::vector<FaceMove> original = moves;
    // Bisection between the identity (which never folds) and the full moves; the warp of the
    // last fraction that did not fold is kept, so the spline is not built again.
    double low = 0, high = 1;
    std::optional<FaceWarp> lowWarp;
    for (int k = 0; k < 12; ++k) {
        const double mid = (low + high) / 2;
        FaceWarp warp(pictureSize, scaledMoves(original, mid));
        if (warp.folds()) {
            high = mid;
        } else {
            low = mid;
            lowWarp = std::move(warp);
        }
    }
    moves = scaledMoves(original, low);
    if (kept != nullptr) {
        *kept = low;
    }
    return lowWarp ? std::move(*lowWarp) : FaceWarp(pictureSize, moves);
}

double limitToNoFold(QSize pictureSize, std::vector<FaceMove>& moves) {
    double kept = 1;
    limitedWarp(pictureSize, moves, &kept);
    return kept;
}

}  // namespace face
