// Internal to effects/: the smudge's per-pixel source positions, in double precision in the
// order of their formulas, with only whole subexpressions hoisted out of the pixel loop, so
// they give the same bits as the formulas evaluated pixel by pixel. The tests hold the
// whole effect against such a pixel-by-pixel reading.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "effects/smudge.h"

namespace effects::detail {

// The disc of one direction case: radius R = L/2 + a, and the displacement profile
// t(d) = √((a + L + e)² − d²) − L/2 − a − e, an arc through t(0) = L/2 and t(R) = 0.
struct SmudgeShape {
    double a = 0;
    double length = 0;
    double halfLength = 0;
    double r2 = 0;  // R²
    double e = 0;
    double outer2 = 0;  // (a + L + e)²
    double cx = 0;
    double cy = 0;
    double ux = 0;
    double uy = 0;
    double k = 0;

    // Needs L > 0.
    static SmudgeShape of(const SmudgeStroke& stroke, int radius) {
        SmudgeShape s;
        s.a = radius;
        s.length = stroke.length;
        s.halfLength = stroke.length / 2;
        const double r = stroke.discRadius;
        s.r2 = r * r;
        s.e = (2 * r * r - (s.a + s.length) * (s.a + s.length)) / s.length;
        const double outer = s.a + s.length + s.e;
        s.outer2 = outer * outer;
        s.cx = stroke.centreX;
        s.cy = stroke.centreY;
        s.ux = stroke.ux;
        s.uy = stroke.uy;
        s.k = stroke.slope;
        return s;
    }

    // Half chord w at squared distance d² from the centre line, and the displacement t.
    double halfChord(double d2) const { return std::sqrt(r2 - d2); }
    double displacement(double d2) const { return std::sqrt(outer2 - d2) - halfLength - a - e; }
};

// The diagonal cases 1 to 4. A pixel (G, i) lies on the line through M parallel to u; its
// chord runs from B = M − w·u to F = M + w·u, and P = M + t·u splits it: [B, P] shows
// [B, M] and [P, F] shows [M, F], each stretched linearly.
template <int kCase>
struct DiagonalSmudgeKernel {
    static_assert(kCase >= 1 && kCase <= 4);
    SmudgeShape s;
    double cxOverK = 0;   // Cx / k
    double slopeSum = 0;  // k + 1/k

    static DiagonalSmudgeKernel of(const SmudgeShape& shape) {
        return {shape, shape.cx / shape.k, shape.k + 1 / shape.k};
    }

    // Whether pixel (g, i) takes the branch of the end M + w·(1, k)/n, the one P is
    // compared against. Pixels have non-negative coordinates (they lie in the picture).
    // The corner-distance and corner-slope tests tell the side of P along (1, k) only for
    // P in the bottom-right quadrant of the picture's corner (and, for the slope, off
    // column 0); elsewhere the side is taken straight from (pixel − P)·(1, k).
    static bool firstBranch(int64_t g, int64_t i, double qx, double qy, double k) {
        if constexpr (kCase <= 2) {
            if (qx >= 0 && qy >= 0) {
                return static_cast<double>(g * g + i * i) >= qx * qx + qy * qy;
            }
        } else {
            if (g > 0 && qx > 0 && qy >= 0) {
                return qy / qx > static_cast<double>(i) / static_cast<double>(g);
            }
        }
        return (static_cast<double>(g) - qx) + k * (static_cast<double>(i) - qy) >= 0;
    }

    struct Column {
        const DiagonalSmudgeKernel* kernel = nullptr;
        int64_t g = 0;
        double gk = 0;  // G·k

        // False when the source is not finite: the pixel keeps its colour.
        bool sourceOf(int row, double& sx, double& sy) const {
            const SmudgeShape& s = kernel->s;
            const double i = row;
            const double mx = (s.cy - i + gk + kernel->cxOverK) / kernel->slopeSum;
            const double along = mx - s.cx;
            const double my = s.cy - along / s.k;
            const double across = my - s.cy;
            const double d2 = along * along + across * across;
            const double w = s.halfChord(d2);
            const double t = s.displacement(d2);
            const double qx = mx + t * s.ux;
            const double qy = my + t * s.uy;
            const bool first = firstBranch(g, row, qx, qy, s.k);
            // The first branch's end is F where u = (1, k)/n (cases 2 and 3), else B.
            const bool front = (kCase == 2 || kCase == 3) ? first : !first;
            const double gd = static_cast<double>(g);
            if (front) {
                const double fx = mx + w * s.ux;
                const double fy = my + w * s.uy;
                const double ex = gd - fx;
                const double ey = i - fy;
                const double c = w * std::sqrt(ex * ex + ey * ey) / (w - t);
                sx = fx - c * s.ux;
                sy = fy - c * s.uy;
            } else {
                const double bx = mx - w * s.ux;
                const double by = my - w * s.uy;
                const double ex = gd - bx;
                const double ey = i - by;
                const double c = w * std::sqrt(ex * ex + ey * ey) / (w + t);
                sx = bx + c * s.ux;
                sy = by + c * s.uy;
            }
            return std::isfinite(sx) && std::isfinite(sy);
        }
    };

    Column column(int col) const { return {this, col, static_cast<double>(col) * s.k}; }
};

// The horizontal cases 5 (left) and 6 (right): M = (Cx, i), so w, t and the chord's ends
// depend on the row only and are worked out once per row; only x moves.
template <int kCase>
struct HorizontalSmudgeKernel {
    static_assert(kCase == 5 || kCase == 6);
    struct Line {
        double w = 0;
        double t = 0;
        double fx = 0;
        double bx = 0;
        double qx = 0;
    };
    SmudgeShape s;
    int top = 0;
    std::vector<Line> lines;  // rows top, top + 1, ...

    static HorizontalSmudgeKernel of(const SmudgeShape& shape, int top, int bottom) {
        HorizontalSmudgeKernel kernel{shape, top, {}};
        for (int row = top; row <= bottom; ++row) {
            const double offset = row - shape.cy;
            const double d2 = offset * offset;
            Line line;
            line.w = shape.halfChord(d2);
            line.t = shape.displacement(d2);
            line.fx = shape.cx + line.w * shape.ux;
            line.bx = shape.cx - line.w * shape.ux;
            line.qx = shape.cx + line.t * shape.ux;
            kernel.lines.push_back(line);
        }
        return kernel;
    }

    struct Column {
        const HorizontalSmudgeKernel* kernel = nullptr;
        double g = 0;

        bool sourceOf(int row, double& sx, double& sy) const {
            const Line& l = kernel->lines[static_cast<size_t>(row - kernel->top)];
            const double ux = kernel->s.ux;
            // G >= Qx picks the end with the larger column: B going left, F going right.
            const bool front = (g >= l.qx) == (kCase == 6);
            if (front) {
                const double c = l.w * std::fabs(g - l.fx) / (l.w - l.t);
                sx = l.fx - c * ux;
            } else {
                const double c = l.w * std::fabs(g - l.bx) / (l.w + l.t);
                sx = l.bx + c * ux;
            }
            sy = row;
            return std::isfinite(sx);
        }
    };

    Column column(int col) const { return {this, static_cast<double>(col)}; }
};

// The vertical cases 7 (down) and 8 (up): M = (G, Cy), so everything but the row's own
// distance is worked out once per column; only y moves.
template <int kCase>
struct VerticalSmudgeKernel {
    static_assert(kCase == 7 || kCase == 8);
    SmudgeShape s;

    struct Column {
        double g = 0;
        double uy = 0;
        double w = 0;
        double t = 0;
        double fy = 0;
        double by = 0;
        double qy = 0;

        bool sourceOf(int row, double& sx, double& sy) const {
            const double i = row;
            // i > Qy picks the end with the larger row: F going down, B going up.
            const bool front = (i > qy) == (kCase == 7);
            if (front) {
                const double c = w * std::fabs(i - fy) / (w - t);
                sy = fy - c * uy;
            } else {
                const double c = w * std::fabs(i - by) / (w + t);
                sy = by + c * uy;
            }
            sx = g;
            return std::isfinite(sy);
        }
    };

    Column column(int col) const {
        Column c;
        c.g = col;
        c.uy = s.uy;
        const double offset = c.g - s.cx;
        const double d2 = offset * offset;
        c.w = s.halfChord(d2);
        c.t = s.displacement(d2);
        c.fy = s.cy + c.w * s.uy;
        c.by = s.cy - c.w * s.uy;
        c.qy = s.cy + c.t * s.uy;
        return c;
    }
};

}  // namespace effects::detail
