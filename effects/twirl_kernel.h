// Internal to effects/: the twirl's displacement profile and tangent shift, in extended
// precision in the order of their formulas. The tests hold them against a literal reading.
#pragma once

#include <cmath>
#include <cstdint>

namespace effects::detail {

// The profile D(r): a circular arc over 0..R through both ends, with its top S at half the
// radius h = R / 2. Its circle has radius A = (h² + S²) / (2·S).
struct TwirlProfile {
    long double h;
    long double A;
    long double A2;
    long double S;

    static TwirlProfile of(int64_t radius, int64_t strength) {
        const long double h = static_cast<long double>(radius) / 2;
        const long double A =
            (h * h + static_cast<long double>(strength * strength)) / (2 * strength);
        return {h, A, A * A, static_cast<long double>(strength)};
    }

    long double at(long double r) const {
        const long double t = r - h;
        return std::sqrt(A2 - t * t) + S - A;
    }
};

// Sizes of the tangent shift's two components for a pixel off both axes, D·|vy| / r across
// and D·|vx| / r along the rows, evaluated through m = vx / vy. They depend on vx and vy only
// through vx², vy² and m², all unchanged by a sign flip (negation is exact), so the four
// pixels (X ± v, Y ± w) share them.
struct TangentShift {
    long double across;  // added to or taken from the column
    long double along;   // added to or taken from the row
};

inline TangentShift tangentShift(const TwirlProfile& profile, int64_t vx, int64_t vy) {
    const long double r = std::sqrt(static_cast<long double>(vx * vx + vy * vy));
    const long double d = profile.at(r);
    const long double m = static_cast<long double>(vx) / static_cast<long double>(vy);
    const long double m2 = m * m;
    return {d / std::sqrt(m2 + 1), d / std::sqrt(1 / m2 + 1)};
}

}  // namespace effects::detail
