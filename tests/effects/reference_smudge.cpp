#include "reference_smudge.h"

#include <cmath>
#include <cstdlib>

#include "effects/bilinear_sampler.h"

namespace reference {

namespace {

int64_t rnd(double v) {
    return static_cast<int64_t>(std::nearbyint(v));
}

// One direction case: its number, drag length, centre, unit direction and slope.
struct Disc {
    int directionCase;
    double L;
    double Cx;
    double Cy;
    double ux;
    double uy;
    double k;
};

// One case's disc, column by column, from `source` into `destination`; returns the columns
// done.
int64_t draw(const QImage& source, QImage& destination, const Disc& disc, double a) {
    const auto [directionCase, L, Cx, Cy, ux, uy, k] = disc;
    const double R = L / 2 + a;
    const double e = (2 * R * R - (a + L) * (a + L)) / L;
    int64_t steps = 0;
    for (int64_t G = rnd(Cx - L / 2 - a) + 1; G <= rnd(Cx + L / 2 + a) - 1; ++G) {
        const double h = std::sqrt(R * R - (Cx - G) * (Cx - G));
        for (int64_t i = rnd(Cy - h) + 1; i <= rnd(Cy + h) - 1; ++i) {
            double Mx;
            double My;
            double d2;
            if (directionCase <= 4) {
                Mx = (Cy - i + G * k + Cx / k) / (k + 1 / k);
                My = Cy - (Mx - Cx) / k;
                d2 = (Mx - Cx) * (Mx - Cx) + (My - Cy) * (My - Cy);
            } else if (directionCase <= 6) {
                Mx = Cx;
                My = i;
                d2 = (i - Cy) * (i - Cy);
            } else {
                Mx = G;
                My = Cy;
                d2 = (G - Cx) * (G - Cx);
            }
            const double w = std::sqrt(R * R - d2);
            const double Bx = Mx - w * ux;
            const double By = My - w * uy;
            const double Fx = Mx + w * ux;
            const double Fy = My + w * uy;
            const double t = std::sqrt((a + L + e) * (a + L + e) - d2) - L / 2 - a - e;
            const double Qx = Mx + t * ux;
            const double Qy = My + t * uy;

            // The side test; `first` picks the end M + w·(1, k)/n, or the one with the
            // larger coordinate in the axis cases.
            bool first;
            const bool inQuadrant = G >= 0 && i >= 0 && Qx >= 0 && Qy >= 0;
            const bool alongU = (G - Qx) + k * (i - Qy) >= 0;
            switch (directionCase) {
                case 1:
                case 2:
                    first = inQuadrant ? static_cast<double>(G * G + i * i) >= Qx * Qx + Qy * Qy
                                       : alongU;
                    break;
                case 3:
                case 4:
                    first = inQuadrant && G > 0 && Qx > 0
                                ? Qy / Qx > static_cast<double>(i) / static_cast<double>(G)
                                : alongU;
                    break;
                case 5:
                case 6:
                    first = G >= Qx;
                    break;
                default:
                    first = i > Qy;
                    break;
            }
            // That end is the front end F in cases 2, 3, 6 and 7, the rear end B otherwise.
            const bool firstIsFront = directionCase == 2 || directionCase == 3 ||
                                      directionCase == 6 || directionCase == 7;
            double sx;
            double sy;
            if (first == firstIsFront) {
                const double dp = std::sqrt((G - Fx) * (G - Fx) + (i - Fy) * (i - Fy));
                const double c = w * dp / (w - t);
                sx = Fx - c * ux;
                sy = Fy - c * uy;
            } else {
                const double dp = std::sqrt((G - Bx) * (G - Bx) + (i - By) * (i - By));
                const double c = w * dp / (w + t);
                sx = Bx + c * ux;
                sy = By + c * uy;
            }
            if (!std::isfinite(sx) || !std::isfinite(sy)) {
                continue;
            }
            const uint32_t colour = effects::sampleBilinear(sx, sy, source);
            if (G >= 0 && G < destination.width() && i >= 0 && i < destination.height()) {
                destination.setPixel(static_cast<int>(G), static_cast<int>(i),
                                     qRgb(colour & 0xff, (colour >> 8) & 0xff, colour >> 16));
            }
        }
        ++steps;
    }
    return steps;
}

}  // namespace

int64_t smudge(QImage& picture, int pressX, int pressY, int releaseX, int releaseY, int radius) {
    const QImage source = picture.copy();
    QImage destination = picture.copy();
    const int64_t Px = pressX;
    const int64_t Py = pressY;
    int64_t Ex = releaseX;
    int64_t Ey = releaseY;
    const double a = radius;
    int64_t steps = 0;
    auto shorten = [&](double distance) { return a / 2 >= distance ? distance : a / 2; };
    double k = 0;
    double n = 0;
    double L = 0;
    auto diagonal = [&] {
        const int64_t dx = Px - Ex;
        const int64_t dy = Py - Ey;
        k = static_cast<double>(dy) / static_cast<double>(dx);
        const double dist = std::sqrt(static_cast<double>(dx * dx + dy * dy));
        n = std::sqrt(k * k + 1);
        L = shorten(dist);
    };
    if (Ex < Px && Ey < Py) {  // 1 up-left
        diagonal();
        Ex = Px - rnd(L / n);
        Ey = Py - rnd(L * k / n);
        steps += draw(source, destination,
                      {1, L, (Px + Ex) / 2.0, (Py + Ey) / 2.0, -(1 / n), -(k / n), k}, a);
    }
    if (Ex > Px && Ey > Py) {  // 2 down-right
        diagonal();
        Ex = Px + rnd(L / n);
        Ey = Py + rnd(L * k / n);
        steps +=
            draw(source, destination, {2, L, (Px + Ex) / 2.0, (Py + Ey) / 2.0, 1 / n, k / n, k}, a);
    }
    if (Ex > Px && Ey < Py) {  // 3 up-right
        diagonal();
        Ex = Px + rnd(L / n);
        Ey = Py - rnd(L * std::abs(k) / n);
        steps +=
            draw(source, destination, {3, L, (Px + Ex) / 2.0, (Py + Ey) / 2.0, 1 / n, k / n, k}, a);
    }
    if (Ex < Px && Ey > Py) {  // 4 down-left
        diagonal();
        Ex = Px - rnd(L / n);
        Ey = Py + rnd(L * std::abs(k) / n);
        steps += draw(source, destination,
                      {4, L, (Px + Ex) / 2.0, (Py + Ey) / 2.0, -(1 / n), -(k / n), k}, a);
    }
    if (Ex < Px && Ey == Py) {  // 5 left
        L = shorten(static_cast<double>(Px - Ex));
        Ex = Px - rnd(L);
        steps +=
            draw(source, destination, {5, L, Px - L / 2, static_cast<double>(Py), -1, 0, 0}, a);
    }
    if (Ex > Px && Ey == Py) {  // 6 right
        L = shorten(static_cast<double>(Ex - Px));
        Ex = Px + rnd(L);
        steps += draw(source, destination, {6, L, Ex - L / 2, static_cast<double>(Py), 1, 0, 0}, a);
    }
    if (Ex == Px && Ey > Py) {  // 7 down
        L = shorten(static_cast<double>(Ey - Py));
        Ey = Py + rnd(L);
        steps += draw(source, destination, {7, L, static_cast<double>(Px), Py + L / 2, 0, 1, 0}, a);
    }
    if (Ex == Px && Ey < Py) {  // 8 up
        L = shorten(static_cast<double>(Py - Ey));
        steps +=
            draw(source, destination, {8, L, static_cast<double>(Px), Py - L / 2, 0, -1, 0}, a);
    }
    picture = destination;
    return steps;
}

}  // namespace reference
