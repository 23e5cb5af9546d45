#include "formats/photo/matrix_shaper.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace formats {
namespace {

// Linear light in 1/65535 steps to sRGB's 8 bits: fine enough that the steepest part of the
// curve, near black, still rounds as the exact curve does.
constexpr int kEncodingSteps = 65536;

struct ProfileCloser {
    void operator()(void* profile) const {
        if (profile != nullptr) {
            cmsCloseProfile(profile);
        }
    }
};

const cmsCIEXYZ* colorant(void* profile, cmsTagSignature tag) {
    return static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tag));
}

// The colorants as the columns of the matrix from linear RGB to the connection space.
bool colorantMatrix(void* profile, double m[3][3]) {
    const cmsCIEXYZ* columns[3] = {colorant(profile, cmsSigRedColorantTag),
                                   colorant(profile, cmsSigGreenColorantTag),
                                   colorant(profile, cmsSigBlueColorantTag)};
    for (int c = 0; c < 3; ++c) {
        if (columns[c] == nullptr) {
            return false;
        }
        m[0][c] = columns[c]->X;
        m[1][c] = columns[c]->Y;
        m[2][c] = columns[c]->Z;
    }
    return true;
}

bool invert(const double m[3][3], double inverse[3][3]) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (!std::isfinite(det) || std::abs(det) < 1e-9) {
        return false;
    }
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            // The cofactor of (c, r), divided by the determinant.
            const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
            inverse[r][c] = (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / det;
        }
    }
    return true;
}

struct SrgbSpace {
    double fromConnection[3][3] = {};
    std::array<uchar, kEncodingSteps> encode{};
    bool usable = false;
};

// sRGB as Little CMS defines it: the inverse of its colorant matrix and its curve inverted.
const SrgbSpace& srgbSpace() {
    static const SrgbSpace space = [] {
        SrgbSpace made;
        const std::unique_ptr<void, ProfileCloser> srgb(cmsCreate_sRGBProfile());
        double toConnection[3][3];
        const auto* curve =
            srgb ? static_cast<const cmsToneCurve*>(cmsReadTag(srgb.get(), cmsSigRedTRCTag))
                 : nullptr;
        if (curve == nullptr || !colorantMatrix(srgb.get(), toConnection) ||
            !invert(toConnection, made.fromConnection)) {
            return made;
        }
        cmsToneCurve* inverse = cmsReverseToneCurve(curve);
        if (inverse == nullptr) {
            return made;
        }
        for (int i = 0; i < kEncodingSteps; ++i) {
            const float encoded =
                cmsEvalToneCurveFloat(inverse, static_cast<float>(i) / (kEncodingSteps - 1));
            made.encode[static_cast<size_t>(i)] =
                static_cast<uchar>(std::clamp(std::lround(encoded * 255.0f), 0L, 255L));
        }
        cmsFreeToneCurve(inverse);
        made.usable = true;
        return made;
    }();
    return space;
}

uchar encoded(const SrgbSpace& space, float linear) {
    // Out-of-gamut values clip to black or full, and a value that is not a number (a damaged
    // profile's curve) to black: written so that NaN fails the first test.
    float step = linear * (kEncodingSteps - 1) + 0.5f;
    step = step > 0.0f ? std::min(step, static_cast<float>(kEncodingSteps - 1)) : 0.0f;
    return space.encode[static_cast<size_t>(step)];
}

}  // namespace

std::optional<MatrixShaperToSrgb> MatrixShaperToSrgb::from(void* profile) {
    if (profile == nullptr ||
        static_cast<cmsUInt32Number>(cmsGetColorSpace(profile)) !=
            static_cast<cmsUInt32Number>(cmsSigRgbData) ||
        !cmsIsMatrixShaper(profile)) {
        return std::nullopt;
    }
    const SrgbSpace& srgb = srgbSpace();
    double toConnection[3][3];
    if (!srgb.usable || !colorantMatrix(profile, toConnection)) {
        return std::nullopt;
    }
    MatrixShaperToSrgb made;
    const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (size_t c = 0; c < 3; ++c) {
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, curves[c]));
        if (curve == nullptr) {
            return std::nullopt;
        }
        for (size_t v = 0; v < 256; ++v) {
            const float linear = cmsEvalToneCurveFloat(curve, static_cast<float>(v) / 255.0f);
            if (!std::isfinite(linear)) {
                return std::nullopt;
            }
            made.linear_[c][v] = linear;
        }
    }
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            double sum = 0;
            for (int k = 0; k < 3; ++k) {
                sum += srgb.fromConnection[r][k] * toConnection[k][c];
            }
            if (!std::isfinite(sum)) {
                return std::nullopt;
            }
            made.matrix_[static_cast<size_t>(3 * r + c)] = static_cast<float>(sum);
        }
    }
    return made;
}

void MatrixShaperToSrgb::convert(const uchar* source, uchar* target, int count) const {
    const SrgbSpace& srgb = srgbSpace();
    const std::array<float, 9>& m = matrix_;
    for (int i = 0; i < count; ++i, source += 3, target += 3) {
        const float r = linear_[0][source[2]];
        const float g = linear_[1][source[1]];
        const float b = linear_[2][source[0]];
        const uchar red = encoded(srgb, m[0] * r + m[1] * g + m[2] * b);
        const uchar green = encoded(srgb, m[3] * r + m[4] * g + m[5] * b);
        const uchar blue = encoded(srgb, m[6] * r + m[7] * g + m[8] * b);
        target[0] = blue;
        target[1] = green;
        target[2] = red;
    }
}

}  // namespace formats
