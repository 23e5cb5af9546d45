#include "platform/line_walk.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace platform {

namespace {

// Nearest integer to numerator / denominator (denominator > 0), halves rounded up,
// so the walk's minor coordinate changes at the middle of each run.
int64_t roundedQuotient(int64_t numerator, int64_t denominator) {
    const int64_t doubled = 2 * numerator + denominator;
    const int64_t divisor = 2 * denominator;
    int64_t q = doubled / divisor;
    if (doubled % divisor != 0 && doubled < 0) {
        --q;  // floor for negative values
    }
    return q;
}

}  // namespace

void LineDDA(int x1, int y1, int x2, int y2, const std::function<void(int x, int y)>& visit) {
    // 64-bit arithmetic: the product of step and extent cannot overflow.
    const int64_t dx = static_cast<int64_t>(x2) - x1;
    const int64_t dy = static_cast<int64_t>(y2) - y1;
    const int64_t steps = std::max(std::llabs(dx), std::llabs(dy));
    for (int64_t i = 0; i < steps; ++i) {
        visit(static_cast<int>(x1 + roundedQuotient(i * dx, steps)),
              static_cast<int>(y1 + roundedQuotient(i * dy, steps)));
    }
}

}  // namespace platform
