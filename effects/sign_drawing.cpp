#include "effects/sign_drawing.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>

#include "effects/raster.h"

namespace effects {
namespace {

// Products of coordinate differences: a difference of two ints, doubled, takes 34 bits,
// so a product of two takes 68.
__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

constexpr int kDashPeriod = 24;
constexpr int kDashDrawn = 18;

void checkFormat(const QImage& picture, const char* operation) {
    if (!picture.isNull() && picture.format() != QImage::Format_BGR888) {
        throw std::invalid_argument(std::string(operation) +
                                    ": the picture must be in Format_BGR888");
    }
}

// Writes runs of pixels in one colour and keeps the bounding box of what it wrote. The
// picture is detached only when the first pixel is written.
class PixelWriter {
public:
    PixelWriter(QImage& picture, uint32_t colour) : picture_(picture), colour_(colour) {}

    // Pixels first..last (inclusive) of row y, all inside the picture.
    void run(int first, int last, int y) {
        uchar* p = row(y) + 3 * static_cast<qsizetype>(first);
        for (int x = first; x <= last; ++x, p += 3) {
            detail::storeColour(p, colour_);
        }
        left_ = std::min(left_, first);
        right_ = std::max(right_, last);
        top_ = std::min(top_, y);
        bottom_ = std::max(bottom_, y);
    }

    QRect written() const {
        return left_ > right_ ? QRect() : QRect(QPoint(left_, top_), QPoint(right_, bottom_));
    }

private:
    uchar* row(int y) {
        if (bits_ == nullptr) {
            bits_ = picture_.bits();
            stride_ = picture_.bytesPerLine();
        }
        return bits_ + y * stride_;
    }

    QImage& picture_;
    uint32_t colour_;
    uchar* bits_ = nullptr;
    qsizetype stride_ = 0;
    int left_ = INT_MAX;
    int top_ = INT_MAX;
    int right_ = INT_MIN;
    int bottom_ = INT_MIN;
};

// ---- The 1-pixel pen: platform::LineDDA's walk, clipped before it starts ----

// floor(n / d) for d > 0.
Int128 floorDiv(Int128 n, Int128 d) {
    Int128 q = n / d;
    if (n % d != 0 && n < 0) {
        --q;
    }
    return q;
}

// One coordinate of the walk: at step i it is start + i * delta / steps rounded to the
// nearest integer, halves up, which is what LineDDA computes. It never decreases when
// delta >= 0 and never increases otherwise.
struct WalkAxis {
    int64_t start;
    int64_t delta;
    int64_t steps;  // > 0, >= |delta|

    Int128 numerator(int64_t i) const { return Int128{2} * i * delta + steps; }
    int64_t at(int64_t i) const {
        return start + static_cast<int64_t>(floorDiv(numerator(i), Int128{2} * steps));
    }
};

// The first i in [0, steps] for which `reached(i)` holds, where `reached` is false up to
// some step and true from there on (step `steps` counts as reached).
template <class Reached>
int64_t firstReached(int64_t steps, Reached reached) {
    int64_t low = 0;
    int64_t high = steps;
    while (low < high) {
        const int64_t middle = low + (high - low) / 2;
        if (reached(middle)) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return low;
}

// The steps [first, end) at which the axis' coordinate lies in [0, size). Since the
// coordinate is monotonic, they are consecutive.
struct StepRange {
    int64_t first;
    int64_t end;
};
StepRange stepsInside(const WalkAxis& axis, int size) {
    if (axis.delta >= 0) {
        return {firstReached(axis.steps, [&](int64_t i) { return axis.at(i) >= 0; }),
                firstReached(axis.steps, [&](int64_t i) { return axis.at(i) >= size; })};
    }
    return {firstReached(axis.steps, [&](int64_t i) { return axis.at(i) < size; }),
            firstReached(axis.steps, [&](int64_t i) { return axis.at(i) < 0; })};
}

// Walks one coordinate step by step: the value and the remainder of the rounded division,
// kept in [0, 2 * steps). A step adds 2 * delta, at most one divisor, to the remainder.
class AxisStepper {
public:
    AxisStepper(const WalkAxis& axis, int64_t i)
        : divisor_(2 * axis.steps), increment_(2 * axis.delta) {
        const Int128 numerator = axis.numerator(i);
        const Int128 quotient = floorDiv(numerator, divisor_);
        value_ = axis.start + static_cast<int64_t>(quotient);
        remainder_ = static_cast<int64_t>(numerator - quotient * divisor_);
    }
    int value() const { return static_cast<int>(value_); }
    void advance() {
        remainder_ += increment_;
        if (remainder_ >= divisor_) {
            remainder_ -= divisor_;
            ++value_;
        } else if (remainder_ < 0) {
            remainder_ += divisor_;
            --value_;
        }
    }

private:
    int64_t divisor_;
    int64_t increment_;
    int64_t value_ = 0;
    int64_t remainder_ = 0;
};

QRect drawDashed(QImage& picture, QPoint from, QPoint to, uint32_t colour, DashPhase& dash) {
    const int64_t dx = static_cast<int64_t>(to.x()) - from.x();
    const int64_t dy = static_cast<int64_t>(to.y()) - from.y();
    const int64_t steps = std::max(std::abs(dx), std::abs(dy));
    const int phase = (dash.walked % kDashPeriod + kDashPeriod) % kDashPeriod;
    dash.walked = static_cast<int>((phase + steps % kDashPeriod) % kDashPeriod);
    if (steps == 0 || picture.isNull()) {
        return {};
    }
    const WalkAxis xAxis{from.x(), dx, steps};
    const WalkAxis yAxis{from.y(), dy, steps};
    const StepRange columns = stepsInside(xAxis, picture.width());
    const StepRange rows = stepsInside(yAxis, picture.height());
    const int64_t first = std::max(columns.first, rows.first);
    const int64_t end = std::min(columns.end, rows.end);
    if (first >= end) {
        return {};
    }
    PixelWriter writer(picture, colour);
    AxisStepper x(xAxis, first);
    AxisStepper y(yAxis, first);
    int k = static_cast<int>((phase + first % kDashPeriod) % kDashPeriod);
    for (int64_t i = first; i < end; ++i) {
        if (k < kDashDrawn) {
            writer.run(x.value(), x.value(), y.value());
        }
        if (++k == kDashPeriod) {
            k = 0;
        }
        x.advance();
        y.advance();
    }
    return writer.written();
}

// ---- Wider pens: the capsule around the segment ----

// c^2 <= w^2 * l2 for c < 2^68, 0 < w < 2^31 and l2 < 2^68, without overflowing 128 bits:
// with c = q * w + rest the test reads 2 * q * w * rest + rest^2 <= w^2 * (l2 - q^2),
// which only needs working out when q is the integer square root of l2.
bool squareWithin(UInt128 c, uint64_t w, UInt128 l2) {
    const UInt128 q = c / w;
    const UInt128 rest = c % w;
    if (q >= (UInt128{1} << 34)) {
        return false;  // q^2 >= 2^68 > l2
    }
    if (q * q > l2) {
        return false;
    }
    if ((q + 1) * (q + 1) <= l2) {
        return true;
    }
    return 2 * q * w * rest + rest * rest <= UInt128{w} * w * (l2 - q * q);
}

// Which pixels a pen `width` >= 2 wide covers along a segment: those whose centre lies
// within width / 2 of it, decided exactly. In doubled coordinates the centre of pixel
// (px, py) is (2px + 1, 2py + 1), the segment runs between (2x + 1, 2y + 1) for odd widths
// and (2x, 2y) for even ones, and the radius is `width`: all integers.
class Capsule {
public:
    Capsule(QPoint from, QPoint to, int width)
        : x1_(from.x()),
          y1_(from.y()),
          dx_(2 * (static_cast<int64_t>(to.x()) - from.x())),
          dy_(2 * (static_cast<int64_t>(to.y()) - from.y())),
          offset_(width % 2 == 0 ? 1 : 0),
          width_(static_cast<uint64_t>(width)),
          lengthSquared_(Int128{dx_} * dx_ + Int128{dy_} * dy_) {}

    bool covers(int px, int py) const {
        const int64_t vx = 2 * (px - x1_) + offset_;
        const int64_t vy = 2 * (py - y1_) + offset_;
        const Int128 radiusSquared = Int128{static_cast<int64_t>(width_)} * width_;
        const Int128 along = Int128{vx} * dx_ + Int128{vy} * dy_;
        if (along <= 0) {
            return Int128{vx} * vx + Int128{vy} * vy <= radiusSquared;
        }
        if (along >= lengthSquared_) {
            const int64_t ex = vx - dx_;
            const int64_t ey = vy - dy_;
            return Int128{ex} * ex + Int128{ey} * ey <= radiusSquared;
        }
        const Int128 across = Int128{vx} * dy_ - Int128{vy} * dx_;
        return squareWithin(static_cast<UInt128>(across < 0 ? -across : across), width_,
                            static_cast<UInt128>(lengthSquared_));
    }

private:
    int64_t x1_;
    int64_t y1_;
    int64_t dx_;
    int64_t dy_;
    int64_t offset_;
    uint64_t width_;
    Int128 lengthSquared_;
};

// The capsule in floating point, in picture pixel units, with its segment clipped to the
// picture grown by more than the radius (which leaves the covered pixels of the picture as
// they are) so that its numbers stay near the picture's size. It gives each row's run of
// pixels to within a tiny error; the radius is widened by kSlack so that no run is missed,
// and the exact test then trims the ends.
class CapsuleOutline {
public:
    static constexpr double kSlack = 0.125;

    // False when the segment passes too far from the picture to cover any of it.
    bool clip(QPoint from, QPoint to, int width, int pictureWidth, int pictureHeight) {
        const double centre = width % 2 == 0 ? 0.0 : 0.5;
        radius_ = width / 2.0;
        dx_ = static_cast<double>(to.x()) - from.x();
        dy_ = static_cast<double>(to.y()) - from.y();
        const double ax = from.x() + centre;
        const double ay = from.y() + centre;
        const double margin = radius_ + 2;
        double t0 = 0;
        double t1 = 1;
        // Liang-Barsky: each side of the grown picture as direction * t <= bound.
        const double sides[4][2] = {{-dx_, ax + margin},
                                    {dx_, pictureWidth + margin - ax},
                                    {-dy_, ay + margin},
                                    {dy_, pictureHeight + margin - ay}};
        for (const auto& [direction, bound] : sides) {
            if (direction == 0) {
                if (bound < 0) {
                    return false;
                }
            } else if (direction < 0) {
                t0 = std::max(t0, bound / direction);
            } else {
                t1 = std::min(t1, bound / direction);
            }
        }
        if (t0 > t1) {
            return false;
        }
        startX_ = ax + t0 * dx_;
        startY_ = ay + t0 * dy_;
        endX_ = ax + t1 * dx_;
        endY_ = ay + t1 * dy_;
        const double lengthSquared = dx_ * dx_ + dy_ * dy_;
        length_ = std::sqrt(lengthSquared);
        reach_ = (t1 - t0) * lengthSquared;
        return true;
    }

    double top() const { return std::min(startY_, endY_) - radius_; }
    double bottom() const { return std::max(startY_, endY_) + radius_; }

    // The x range [left, right] of the widened capsule on the line at height y; left >
    // right when it misses the line.
    void chord(double y, double& left, double& right) const {
        const double r = radius_ + kSlack;
        left = HUGE_VAL;
        right = -HUGE_VAL;
        for (const auto& [cx, cy] : {std::pair{startX_, startY_}, std::pair{endX_, endY_}}) {
            const double h2 = r * r - (y - cy) * (y - cy);
            if (h2 >= 0) {
                const double h = std::sqrt(h2);
                left = std::min(left, cx - h);
                right = std::max(right, cx + h);
            }
        }
        if (length_ == 0) {
            return;
        }
        // The band between the end discs, relative to the start: |X dy - Y dx| <= r * length
        // and 0 <= X dx + Y dy <= reach.
        const double yr = y - startY_;
        double low = -HUGE_VAL;
        double high = HUGE_VAL;
        auto limit = [&](double a, double b) {
            low = std::max(low, std::min(a, b));
            high = std::min(high, std::max(a, b));
        };
        if (dy_ != 0) {
            limit((yr * dx_ - r * length_) / dy_, (yr * dx_ + r * length_) / dy_);
        } else if (std::abs(yr) > r) {
            return;
        }
        if (dx_ != 0) {
            limit(-yr * dy_ / dx_, (reach_ - yr * dy_) / dx_);
        } else if (yr * dy_ < 0 || yr * dy_ > reach_) {
            return;
        }
        if (low <= high) {
            left = std::min(left, startX_ + low);
            right = std::max(right, startX_ + high);
        }
    }

private:
    double radius_ = 0;
    double dx_ = 0;
    double dy_ = 0;
    double startX_ = 0;
    double startY_ = 0;
    double endX_ = 0;
    double endY_ = 0;
    double length_ = 0;
    double reach_ = 0;
};

QRect drawRound(QImage& picture, QPoint from, QPoint to, const SignPen& pen) {
    const int width = picture.width();
    const int height = picture.height();
    CapsuleOutline outline;
    if (picture.isNull() || !outline.clip(from, to, pen.width, width, height)) {
        return {};
    }
    const Capsule capsule(from, to, pen.width);
    PixelWriter writer(picture, pen.colour);
    // Rows whose centre py + 0.5 may lie within reach, one spare on either side.
    const double top = std::max(0.0, std::floor(outline.top() - 0.5) - 1);
    const double bottom = std::min(height - 1.0, std::ceil(outline.bottom() - 0.5) + 1);
    if (top > bottom) {
        return {};
    }
    for (int py = static_cast<int>(top); py <= static_cast<int>(bottom); ++py) {
        double left;
        double right;
        outline.chord(py + 0.5, left, right);
        const double firstColumn = std::max(0.0, std::ceil(left - 0.5));
        const double lastColumn = std::min(width - 1.0, std::floor(right - 0.5));
        if (!(firstColumn <= lastColumn)) {
            continue;
        }
        // The covered pixels of a row are consecutive (the capsule is convex): move each end
        // of the estimate to the exact end.
        int first = static_cast<int>(firstColumn);
        int last = static_cast<int>(lastColumn);
        if (capsule.covers(first, py)) {
            while (first > 0 && capsule.covers(first - 1, py)) {
                --first;
            }
        } else {
            do {
                ++first;
            } while (first <= last && !capsule.covers(first, py));
            if (first > last) {
                continue;
            }
        }
        if (capsule.covers(last, py)) {
            while (last < width - 1 && capsule.covers(last + 1, py)) {
                ++last;
            }
        } else {
            do {
                --last;
            } while (!capsule.covers(last, py));  // stops at `first` at the latest
        }
        writer.run(first, last, py);
    }
    return writer.written();
}

// 24-bit colours of ink pixels as QImage::pixel gives them, alpha dropped.
class InkReader {
public:
    explicit InkReader(const QImage& ink) : ink_(ink) {
        switch (ink.format()) {
            case QImage::Format_RGB32:
            case QImage::Format_ARGB32:
            case QImage::Format_ARGB32_Premultiplied:
                words_ = true;
                break;
            default:
                break;
        }
    }
    QRgb at(int x, int y) const {
        const QRgb value =
            words_ ? reinterpret_cast<const QRgb*>(ink_.constScanLine(y))[x] : ink_.pixel(x, y);
        return value & 0xffffff;
    }

private:
    const QImage& ink_;
    bool words_ = false;
};

}  // namespace

QRect drawSignSegment(QImage& picture, QPoint from, QPoint to, const SignPen& pen,
                      DashPhase& dash) {
    checkFormat(picture, "drawSignSegment");
    if (pen.width <= 1) {
        return drawDashed(picture, from, to, pen.colour, dash);
    }
    return drawRound(picture, from, to, pen);
}

QRect drawSignLine(QImage& picture, QPoint from, QPoint to, const SignPen& pen) {
    DashPhase dash;
    return drawSignSegment(picture, from, to, pen, dash);
}

QRect stampTextInk(QImage& picture, const QImage& ink, QPoint at, uint32_t colour) {
    checkFormat(picture, "stampTextInk");
    // Ink columns c with 0 <= at.x + c < width, and rows likewise, in 64 bits.
    const int64_t firstColumn = std::max<int64_t>(0, -static_cast<int64_t>(at.x()));
    const int64_t endColumn =
        std::min<int64_t>(ink.width(), static_cast<int64_t>(picture.width()) - at.x());
    const int64_t firstRow = std::max<int64_t>(0, -static_cast<int64_t>(at.y()));
    const int64_t endRow =
        std::min<int64_t>(ink.height(), static_cast<int64_t>(picture.height()) - at.y());
    if (firstColumn >= endColumn || firstRow >= endRow) {
        return {};
    }
    const QRgb wanted =
        qRgb(colour::red(colour), colour::green(colour), colour::blue(colour)) & 0xffffff;
    const InkReader reader(ink);
    PixelWriter writer(picture, colour);
    for (int r = static_cast<int>(firstRow); r < endRow; ++r) {
        const int y = at.y() + r;
        int c = static_cast<int>(firstColumn);
        while (c < endColumn) {
            if (reader.at(c, r) != wanted) {
                ++c;
                continue;
            }
            const int start = c;
            while (c < endColumn && reader.at(c, r) == wanted) {
                ++c;
            }
            writer.run(at.x() + start, at.x() + c - 1, y);
        }
    }
    return writer.written();
}

}  // namespace effects
