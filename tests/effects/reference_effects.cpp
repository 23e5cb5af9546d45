#include "reference_effects.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace reference {

namespace {

int64_t rnd(long double v) {
    return static_cast<int64_t>(std::nearbyint(v));
}

uint32_t colourValue(QRgb pixel) {
    return static_cast<uint32_t>(qRed(pixel)) | static_cast<uint32_t>(qGreen(pixel)) << 8 |
           static_cast<uint32_t>(qBlue(pixel)) << 16;
}

// The destination copy's canvas: a position outside the bitmap is silently ignored.
void setPixel(QImage& destination, int64_t col, int64_t row, uint32_t colour) {
    if (col >= 0 && col < destination.width() && row >= 0 && row < destination.height()) {
        destination.setPixel(static_cast<int>(col), static_cast<int>(row),
                             qRgb(colour & 0xff, (colour >> 8) & 0xff, (colour >> 16) & 0xff));
    }
}

bool inside(const QImage& picture, int64_t col, int64_t row) {
    return col >= 0 && col < picture.width() && row >= 0 && row < picture.height();
}

int64_t clampIndex(int64_t i, int size) {
    return std::clamp<int64_t>(i, 0, size - 1);
}

}  // namespace

uint32_t sample(double& x, double& y, const QImage& source) {
    const int w = source.width();
    const int h = source.height();
    int top;
    int bottom;
    if (h == 1) {  // our choice for a single row: it stands in for both rows
        y = 0;
        top = 0;
        bottom = 0;
    } else if (y >= 0 && y < h - 1) {
        top = static_cast<int>(std::trunc(y));
        bottom = static_cast<int>(std::trunc(y)) + 1;
    } else if (y < 0) {
        y = 0;
        top = 0;
        bottom = 1;
    } else {
        y = h - 2;
        top = h - 2;
        bottom = h - 1;
    }
    if (w == 1) {  // likewise for a single column
        x = 0;
    } else if (x < 0) {
        x = 0;
    } else if (x > w - 2) {
        x = w - 2;
    }
    const int c = static_cast<int>(std::trunc(x));
    const int right = w == 1 ? 0 : c + 1;
    const long double leftWeight = static_cast<long double>(std::trunc(x)) + 1 - x;
    const long double rightWeight = x - static_cast<long double>(std::trunc(x));
    const long double topWeight = static_cast<long double>(std::trunc(y)) + 1 - y;
    const long double bottomWeight = y - static_cast<long double>(std::trunc(y));
    const QRgb tl = source.pixel(c, top);
    const QRgb bl = source.pixel(c, bottom);
    const QRgb tr = source.pixel(right, top);
    const QRgb br = source.pixel(right, bottom);
    auto channel = [&](int (*of)(QRgb)) {
        const long double v = (of(tl) * topWeight + of(bl) * bottomWeight) * leftWeight +
                              (of(tr) * topWeight + of(br) * bottomWeight) * rightWeight;
        return static_cast<uint32_t>(std::nearbyint(v));
    };
    return channel(qRed) | channel(qGreen) << 8 | channel(qBlue) << 16;
}

namespace {

struct Sphere {
    long double a;
    long double k;
};

Sphere sphere(int64_t R, int64_t S) {
    const long double a = static_cast<long double>(R * R + S * S) / static_cast<long double>(2 * S);
    return {a, a - S};
}

}  // namespace

void bulgeSource(int64_t X, int64_t Y, int64_t R, int64_t S, int64_t col, int64_t row, double& sx,
                 double& sy) {
    const auto [a, k] = sphere(R, S);
    const int64_t dx = X - col;
    const int64_t dy = Y - row;
    const long double q = std::sqrt(a * a - dx * dx - dy * dy);
    sx = static_cast<double>(X - k * dx / q);
    sy = static_cast<double>(Y - k * dy / q);
}

void pinchSource(int64_t X, int64_t Y, int64_t R, int64_t S, int64_t col, int64_t row, double& sx,
                 double& sy) {
    const auto [a, k] = sphere(R, S);
    const int64_t dx = X - col;
    const int64_t dy = Y - row;
    const long double rhoX = std::sqrt(k * k + dx * dx);
    const long double rhoY = std::sqrt(k * k + dy * dy);
    const long double f = k * a / (rhoX * rhoY);
    sx = static_cast<double>(X - dx * f);
    sy = static_cast<double>(Y - dy * f);
}

int64_t bulge(QImage& picture, int x, int y, int radius, int strength) {
    if (strength < 1) {
        throw std::invalid_argument("strength");
    }
    const QImage source = picture.copy();  // F1
    QImage destination = picture.copy();
    const int64_t X = x, Y = y, R = radius, S = strength;
    const auto [a, k] = sphere(R, S);
    int64_t steps = 0;

    auto quadrant = [&](int64_t firstCol, int64_t lastCol, bool above) {
        for (int64_t col = firstCol; col <= lastCol; ++col) {
            const int64_t dx = X - col;
            const long double h = std::sqrt(a * a - dx * dx) - a + S;
            const long double b = std::sqrt((k + h) * (k + h) - k * k);
            if (std::isnan(b)) {
                throw std::logic_error("bulge: no rim at this column");
            }
            const int64_t firstRow = above ? rnd(Y - b) + 1 : Y + 1;
            const int64_t lastRow = above ? Y - 1 : rnd(Y + b) - 1;
            for (int64_t row = firstRow; row <= lastRow; ++row) {
                if (!inside(source, col, row)) {
                    continue;
                }
                double sx, sy;
                bulgeSource(X, Y, R, S, col, row, sx, sy);
                setPixel(destination, col, row, sample(sx, sy, source));
            }
            ++steps;  // F5
        }
    };
    quadrant(X - R + 1, X - 1, true);
    quadrant(X + 1, X + R - 1, true);
    quadrant(X + 1, X + R - 1, false);
    quadrant(X - R + 1, X - 1, false);

    auto shift = [&](int64_t d) { return k * d / std::sqrt(a * a - d * d); };
    auto rowPass = [&](int64_t firstCol, int64_t lastCol) {
        for (int64_t col = firstCol; col <= lastCol; ++col) {
            if (inside(source, col, Y)) {
                const double sx = static_cast<double>(X - shift(X - col));
                const int64_t c = clampIndex(rnd(sx), source.width());  // our choice
                setPixel(destination, col, Y, colourValue(source.pixel(c, Y)));
            }
        }
    };
    auto columnPass = [&](int64_t firstRow, int64_t lastRow) {
        for (int64_t row = firstRow; row <= lastRow; ++row) {
            if (inside(source, X, row)) {
                const double sy = static_cast<double>(Y - shift(Y - row));
                const int64_t r = clampIndex(rnd(sy), source.height());  // our choice
                setPixel(destination, X, row, colourValue(source.pixel(X, r)));
            }
        }
    };
    rowPass(X - R + 1, X - 1);
    rowPass(X + 1, X + R - 1);
    columnPass(Y - R + 1, Y - 1);
    columnPass(Y + 1, Y + R - 1);
    picture = destination;  // F6
    return steps;
}

int64_t pinch(QImage& picture, int x, int y, int radius, int strength) {
    if (strength < 1) {
        throw std::invalid_argument("strength");
    }
    const QImage source = picture.copy();
    QImage destination = picture.copy();
    const int W = source.width();
    const int H = source.height();
    const int64_t X = x, Y = y, R = radius, S = strength;
    const auto [a, k] = sphere(R, S);
    int64_t steps = 0;

    auto columns = [&](int64_t firstCol, int64_t lastCol) {
        for (int64_t col = firstCol; col <= lastCol; ++col) {
            const int64_t dx = X - col;
            const long double rhoX = std::sqrt(k * k + dx * dx);
            const long double u = X - a * dx / rhoX;
            const long double v = (col - u) * k / dx;
            const long double w = k + v;
            const long double b = std::sqrt(w * w - k * k);
            if (std::isnan(b)) {
                throw std::logic_error("pinch: no lens at this column");
            }
            auto visit = [&](int64_t row) {
                if (!inside(source, col, row)) {
                    return;
                }
                double sx, sy;
                pinchSource(X, Y, R, S, col, row, sx, sy);
                setPixel(destination, col, row, sample(sx, sy, source));
            };
            for (int64_t row = Y - rnd(b) + 1; row <= Y - 1; ++row) {
                visit(row);
            }
            for (int64_t row = Y + 1; row <= Y + rnd(b) - 1; ++row) {
                visit(row);
            }
            ++steps;
        }
    };
    columns(X - R + 1, X - 1);
    columns(X + 1, X + R - 1);

    auto shift = [&](int64_t d) { return a * d / std::sqrt(k * k + d * d); };
    for (int64_t col = X - R + 1; col <= X - 1; ++col) {
        if (inside(source, col, Y)) {
            double sx = static_cast<double>(X - shift(X - col));
            if (sx < 0) {
                sx = 0;
            }
            setPixel(destination, col, Y, colourValue(source.pixel(rnd(sx), Y)));
        }
    }
    for (int64_t col = X + 1; col <= X + R - 1; ++col) {
        if (inside(source, col, Y)) {
            double sx = static_cast<double>(X - shift(X - col));
            if (sx > W - 1) {
                sx = W - 1;
            }
            setPixel(destination, col, Y, colourValue(source.pixel(rnd(sx), Y)));
        }
    }
    for (int64_t row = Y - R + 1; row <= Y - 1; ++row) {
        if (inside(source, X, row)) {
            double sy = static_cast<double>(Y - shift(Y - row));
            if (sy < 0) {
                sy = 0;
            }
            setPixel(destination, X, row, colourValue(source.pixel(X, rnd(sy))));
        }
    }
    for (int64_t row = Y + 1; row <= Y + R - 1; ++row) {
        if (inside(source, X, row)) {
            double sy = static_cast<double>(Y - shift(Y - row));
            if (sy > H - 1) {
                sy = H - 1;
            }
            setPixel(destination, X, row, colourValue(source.pixel(X, rnd(sy))));
        }
    }
    picture = destination;
    return steps;
}

}  // namespace reference

namespace reference {

namespace {

struct Twirl {
    long double h;
    long double A;
    int64_t S;
    long double D(long double r) const { return std::sqrt(A * A - (r - h) * (r - h)) + S - A; }
};

Twirl twirlProfile(int64_t R, int64_t S) {
    const long double h = R / 2.0L;
    return {h, (h * h + S * S) / (2 * S), S};
}

}  // namespace

void twirlSource(int64_t X, int64_t Y, int64_t R, int64_t S, bool clockwise, int64_t col,
                 int64_t row, double& sx, double& sy) {
    const Twirl t = twirlProfile(R, S);
    const int64_t vx = col - X;
    const int64_t vy = row - Y;
    const long double r = std::sqrt(static_cast<long double>(vx * vx + vy * vy));
    const long double D = t.D(r);
    const long double m = static_cast<long double>(vx) / vy;
    const long double across = D / std::sqrt(m * m + 1);       // D·|vy| / r
    const long double along = D / std::sqrt(1 / (m * m) + 1);  // D·|vx| / r
    if (clockwise) {  // (col + D·vy / r, row − D·vx / r)
        sx = static_cast<double>(vy > 0 ? col + across : col - across);
        sy = static_cast<double>(vx > 0 ? row - along : row + along);
    } else {  // (col − D·vy / r, row + D·vx / r)
        sx = static_cast<double>(vy > 0 ? col - across : col + across);
        sy = static_cast<double>(vx > 0 ? row + along : row - along);
    }
}

int64_t twirl(QImage& picture, int x, int y, int radius, int strength, bool clockwise) {
    if (strength < 1) {
        throw std::invalid_argument("strength");
    }
    const QImage source = picture.copy();
    QImage destination = picture.copy();
    const int64_t X = x, Y = y, R = radius, S = strength;
    const Twirl t = twirlProfile(R, S);
    int64_t steps = 0;

    auto quadrant = [&](int64_t firstCol, int64_t lastCol, bool above) {
        for (int64_t col = firstCol; col <= lastCol; ++col) {
            const int64_t vx = col - X;
            const long double b = std::sqrt(static_cast<long double>(R * R - vx * vx));
            const int64_t firstRow = above ? rnd(Y - b) + 1 : Y + 1;
            const int64_t lastRow = above ? Y - 1 : rnd(Y + b) - 1;
            for (int64_t row = firstRow; row <= lastRow; ++row) {
                if (inside(source, col, row)) {
                    double sx, sy;
                    twirlSource(X, Y, R, S, clockwise, col, row, sx, sy);
                    setPixel(destination, col, row, sample(sx, sy, source));
                }
            }
            ++steps;
        }
    };
    quadrant(X + 1, X + R - 1, true);
    quadrant(X + 1, X + R - 1, false);
    quadrant(X - R + 1, X - 1, false);
    quadrant(X - R + 1, X - 1, true);

    // Axis passes: the shift's sign for the clockwise twirl, the opposite for the other.
    const long double turn = clockwise ? 1 : -1;
    auto axisPixel = [&](int64_t col, int64_t row, long double sxExact, long double syExact) {
        if (inside(source, col, row)) {
            double sx = static_cast<double>(sxExact);
            double sy = static_cast<double>(syExact);
            setPixel(destination, col, row, sample(sx, sy, source));
        }
    };
    for (int64_t col = X + 1; col <= X + R - 1; ++col) {
        axisPixel(col, Y, col, Y - turn * t.D(col - X));
    }
    for (int64_t row = Y + 1; row <= Y + R - 1; ++row) {
        axisPixel(X, row, X + turn * t.D(row - Y), row);
    }
    for (int64_t col = X - R + 1; col <= X - 1; ++col) {
        axisPixel(col, Y, col, Y + turn * t.D(X - col));
    }
    for (int64_t row = Y - R + 1; row <= Y - 1; ++row) {
        axisPixel(X, row, X - turn * t.D(Y - row), row);
    }
    picture = destination;
    return steps;
}

namespace {

// One line of a stretch: c and B for offset d of the line from the centre.
struct StretchLine {
    long double c;
    long double b;
};

StretchLine stretchLine(const Sphere& s, int64_t S, int64_t d) {
    const long double h = std::sqrt(s.a * s.a - d * d) - s.a + S;
    const long double c = h + s.k;
    const long double b = std::sqrt(c * c - s.k * s.k);
    if (std::isnan(b)) {
        throw std::logic_error("stretch: no rim on this line");
    }
    return {c, b};
}

// The moved coordinate of the pixel at index i of a line through `centre`; false when the
// square root's argument is not positive.
bool stretchedCoordinate(const Sphere& s, const StretchLine& line, int64_t centre, int64_t i,
                         double& out) {
    const long double e = line.b - (i + line.b - centre);
    const long double argument = line.c * line.c - e * e;
    if (!(argument > 0)) {
        return false;
    }
    out = static_cast<double>(centre - s.k * e / std::sqrt(argument));
    return true;
}

int64_t stretch(QImage& picture, int x, int y, int radius, int strength, bool vertical) {
    if (strength < 1) {
        throw std::invalid_argument("strength");
    }
    const QImage source = picture.copy();
    QImage destination = picture.copy();
    const int64_t X = x, Y = y, R = radius, S = strength;
    const Sphere s = sphere(R, S);
    // The line's centre and the other coordinate's: columns for the vertical stretch.
    const int64_t lineCentre = vertical ? X : Y;
    const int64_t alongCentre = vertical ? Y : X;
    int64_t steps = 0;
    for (int64_t line = lineCentre - R + 1; line <= lineCentre + R - 1; ++line) {
        const StretchLine l = stretchLine(s, S, lineCentre - line);
        for (int64_t i = rnd(alongCentre - l.b); i <= rnd(alongCentre + l.b); ++i) {
            const int64_t col = vertical ? line : i;
            const int64_t row = vertical ? i : line;
            if (!inside(source, col, row)) {
                continue;
            }
            double moved;
            if (!stretchedCoordinate(s, l, alongCentre, i, moved)) {
                return -1;  // the picture is not assigned
            }
            double sx = vertical ? static_cast<double>(col) : moved;
            double sy = vertical ? moved : static_cast<double>(row);
            setPixel(destination, col, row, sample(sx, sy, source));
        }
        ++steps;
    }
    picture = destination;
    return steps;
}

}  // namespace

int64_t stretchVertical(QImage& picture, int x, int y, int radius, int strength) {
    return stretch(picture, x, y, radius, strength, true);
}

int64_t stretchHorizontal(QImage& picture, int x, int y, int radius, int strength) {
    return stretch(picture, x, y, radius, strength, false);
}

double stretchVerticalSourceRow(int64_t X, int64_t Y, int64_t R, int64_t S, int64_t col,
                                int64_t row) {
    const Sphere s = sphere(R, S);
    double moved = NAN;
    stretchedCoordinate(s, stretchLine(s, S, X - col), Y, row, moved);
    return moved;
}

int64_t squeeze(QImage& picture, int x, int y, int radius, int strength, bool vertical) {
    if (strength < 1) {
        throw std::invalid_argument("strength");
    }
    const QImage source = picture.copy();
    QImage destination = picture.copy();
    const int64_t X = x, Y = y, R = radius, S = strength;
    const auto [a, k] = sphere(R, S);
    int64_t steps = 0;
    auto columns = [&](int64_t firstCol, int64_t lastCol) {
        for (int64_t col = firstCol; col <= lastCol; ++col) {
            const int64_t dx = X - col;
            const long double rhoX = std::sqrt(k * k + dx * dx);
            const long double u = X - a * dx / rhoX;
            const long double v = (col - u) * k / dx;
            const long double w = k + v;
            const long double b = std::sqrt(w * w - k * k);
            if (std::isnan(b)) {
                throw std::logic_error("squeeze: no lens at this column");
            }
            auto visit = [&](int64_t row) {
                if (!inside(source, col, row)) {
                    return;
                }
                const int64_t dy = Y - row;
                const long double rhoY = std::sqrt(k * k + dy * dy);
                const long double f = k * a / (rhoX * rhoY);
                double sx = vertical ? static_cast<double>(col) : static_cast<double>(X - dx * f);
                double sy = vertical ? static_cast<double>(Y - dy * f) : static_cast<double>(row);
                setPixel(destination, col, row, sample(sx, sy, source));
            };
            for (int64_t row = Y - rnd(b) + 1; row <= Y - 1; ++row) {
                visit(row);
            }
            for (int64_t row = Y + 1; row <= Y + rnd(b) - 1; ++row) {
                visit(row);
            }
            ++steps;
        }
    };
    columns(X - R + 1, X - 1);
    columns(X + 1, X + R - 1);

    auto axis = [&](int64_t d) { return a * d / std::sqrt(k * k + d * d); };
    auto axisPass = [&](int64_t first, int64_t last) {
        for (int64_t i = first; i <= last; ++i) {
            const int64_t col = vertical ? X : i;
            const int64_t row = vertical ? i : Y;
            if (inside(source, col, row)) {
                double sx =
                    vertical ? static_cast<double>(X) : static_cast<double>(X - axis(X - i));
                double sy =
                    vertical ? static_cast<double>(Y - axis(Y - i)) : static_cast<double>(Y);
                setPixel(destination, col, row, sample(sx, sy, source));
            }
        }
    };
    const int64_t centre = vertical ? Y : X;
    axisPass(centre - R + 1, centre - 1);
    axisPass(centre + 1, centre + R - 1);
    picture = destination;
    return steps;
}

}  // namespace reference
