#include "effects/pinch_lens.h"

#include <cmath>

namespace effects::detail {

std::vector<ColumnSpan> pinchLensSpans(int64_t x, int64_t y, int64_t radius, const Sphere& sphere,
                                       const Box& box) {
    // Named copies, not a structured binding: clang 14 (the fuzz build) cannot capture those.
    const long double a = sphere.a;
    const long double k = sphere.k;
    const long double k2 = k * k;
    return quadrantColumnSpans(x, radius, box, [&](int64_t col, ColumnSpan& span) {
        const int64_t dx = x - col;
        const long double rhoX = std::sqrt(k2 + static_cast<long double>(dx * dx));
        const long double u = x - a * dx / rhoX;
        const long double v = (col - u) * k / dx;
        const long double w = k + v;
        const long double b2 = w * w - k2;  // = k²·(R² − dx²) / ρx² >= 0
        const int64_t b = roundHalfEven(std::sqrt(b2 > 0 ? b2 : 0));
        setRange(span, 0, y - b + 1, y - 1, box.top, box.bottom);
        setRange(span, 1, y + 1, y + b - 1, box.top, box.bottom);
    });
}

std::vector<long double> rhoYOfRows(const Sphere& sphere, int64_t y, const Box& box) {
    const long double k2 = sphere.k * sphere.k;
    std::vector<long double> rhoY(static_cast<size_t>(box.bottom - box.top + 1));
    for (int row = box.top; row <= box.bottom; ++row) {
        const int64_t dy = y - row;
        rhoY[row - box.top] = std::sqrt(k2 + static_cast<long double>(dy * dy));
    }
    return rhoY;
}

}  // namespace effects::detail
