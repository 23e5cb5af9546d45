#include "formats/photo/colour_profile.h"

#include <lcms2.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <system_error>
#include <thread>
#include <vector>

namespace formats {
namespace {

// Little CMS keeps no global state of ours; its own errors (a damaged profile) are only
// reported as a failed open, so its log is silenced once.
void silenceLittleCms() {
    static const bool silenced = [] {
        cmsSetLogErrorHandler(nullptr);
        return true;
    }();
    (void)silenced;
}

struct ProfileCloser {
    void operator()(void* profile) const {
        if (profile != nullptr) {
            cmsCloseProfile(profile);
        }
    }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

// The Little CMS pixel type a decoded row is in.
cmsUInt32Number inputType(ProfileInput input, cmsUInt32Number space) {
    switch (input) {
        case ProfileInput::Cmyk:
            return TYPE_CMYK_8;
        case ProfileInput::InvertedCmyk:
            return TYPE_CMYK_8_REV;
        case ProfileInput::Bgr:
            break;
    }
    // A grey profile reads the first of each pixel's three equal bytes.
    return space == cmsSigGrayData
               ? (COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(2))
               : TYPE_BGR_8;
}

bool matches(ProfileInput input, cmsUInt32Number space) {
    if (input == ProfileInput::Bgr) {
        return space == cmsSigRgbData || space == cmsSigGrayData;
    }
    return space == cmsSigCmykData;
}

cmsCIExyY chromaticity(double x, double y) {
    return cmsCIExyY{x, y, 1.0};
}

// The curve a file names, as Little CMS's parametric curves: type 4 is
// Y = (aX + b)^g for X >= d, cX below.
cmsToneCurve* curveFor(const Chromaticities& space) {
    switch (space.curve) {
        case TransferCurve::Srgb: {
            const double p[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
            return cmsBuildParametricToneCurve(nullptr, 4, p);
        }
        case TransferCurve::Bt709: {
            const double p[5] = {1.0 / 0.45, 1.0 / 1.099, 0.099 / 1.099, 1.0 / 4.5, 0.081};
            return cmsBuildParametricToneCurve(nullptr, 4, p);
        }
        case TransferCurve::Gamma:
            break;
    }
    return cmsBuildGamma(nullptr, space.gamma);
}

bool isSrgb(const Chromaticities& space) {
    const Chromaticities srgb;
    auto near = [](double a, double b) { return std::abs(a - b) < 0.002; };
    return space.curve == TransferCurve::Srgb && near(space.whiteX, srgb.whiteX) &&
           near(space.whiteY, srgb.whiteY) && near(space.redX, srgb.redX) &&
           near(space.redY, srgb.redY) && near(space.greenX, srgb.greenX) &&
           near(space.greenY, srgb.greenY) && near(space.blueX, srgb.blueX) &&
           near(space.blueY, srgb.blueY);
}

bool isUsable(const Chromaticities& s) {
    const double values[] = {s.whiteX, s.whiteY, s.redX,  s.redY,
                             s.greenX, s.greenY, s.blueX, s.blueY};
    for (double v : values) {
        if (!std::isfinite(v) || v <= 0.0 || v >= 1.0) {
            return false;
        }
    }
    return s.curve != TransferCurve::Gamma ||
           (std::isfinite(s.gamma) && s.gamma >= 0.1 && s.gamma <= 10.0);
}

// Rows per block for the threads: enough to keep each thread busy, few enough to share out.
constexpr int kRowsPerBlock = 64;

}  // namespace

struct SrgbConversion::Transform {
    explicit Transform(cmsHTRANSFORM h) : handle(h) {}
    ~Transform() { cmsDeleteTransform(handle); }
    Transform(const Transform&) = delete;
    Transform& operator=(const Transform&) = delete;
    cmsHTRANSFORM handle;
};

SrgbConversion::SrgbConversion() = default;
SrgbConversion::~SrgbConversion() = default;
SrgbConversion::SrgbConversion(SrgbConversion&&) noexcept = default;
SrgbConversion& SrgbConversion::operator=(SrgbConversion&&) noexcept = default;

namespace {

// A transform from source to sRGB in BGR order, or nullptr.
cmsHTRANSFORM makeTransform(void* source, cmsUInt32Number type) {
    Profile srgb(cmsCreate_sRGBProfile());
    if (!srgb) {
        return nullptr;
    }
    return cmsCreateTransform(source, type, srgb.get(), TYPE_BGR_8, INTENT_PERCEPTUAL,
                              cmsFLAGS_BLACKPOINTCOMPENSATION);
}

}  // namespace

SrgbConversion::SrgbConversion(const QByteArray& iccProfile, ProfileInput input) : input_(input) {
    if (iccProfile.isEmpty()) {
        return;
    }
    silenceLittleCms();
    Profile source(cmsOpenProfileFromMem(iccProfile.constData(),
                                         static_cast<cmsUInt32Number>(iccProfile.size())));
    if (!source) {
        return;
    }
    // A damaged profile may name any signature: kept as a number, never as the enum, which
    // cannot hold values it does not list.
    const auto space = static_cast<cmsUInt32Number>(cmsGetColorSpace(source.get()));
    if (!matches(input, space)) {
        return;
    }
    if (cmsHTRANSFORM handle = makeTransform(source.get(), inputType(input, space))) {
        transform_ = std::make_unique<Transform>(handle);
    }
}

SrgbConversion::SrgbConversion(const Chromaticities& space) {
    if (!isUsable(space) || isSrgb(space)) {
        return;
    }
    silenceLittleCms();
    cmsToneCurve* curve = curveFor(space);
    if (curve == nullptr) {
        return;
    }
    const cmsCIExyY white = chromaticity(space.whiteX, space.whiteY);
    const cmsCIExyYTRIPLE primaries{chromaticity(space.redX, space.redY),
                                    chromaticity(space.greenX, space.greenY),
                                    chromaticity(space.blueX, space.blueY)};
    cmsToneCurve* curves[3] = {curve, curve, curve};
    Profile source(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(curve);
    if (!source) {
        return;
    }
    if (cmsHTRANSFORM handle = makeTransform(source.get(), TYPE_BGR_8)) {
        transform_ = std::make_unique<Transform>(handle);
    }
}

void SrgbConversion::convertRow(const uchar* source, uchar* target, int count) const {
    if (transform_ && count > 0) {
        cmsDoTransform(transform_->handle, source, target, static_cast<cmsUInt32Number>(count));
    }
}

void SrgbConversion::convertPicture(QImage& picture) const {
    if (!transform_ || input_ != ProfileInput::Bgr || picture.isNull() ||
        picture.format() != QImage::Format_BGR888) {
        return;
    }
    const int width = picture.width();
    const int height = picture.height();
    uchar* bits = picture.bits();  // detaches once, before the threads share the rows
    const qsizetype stride = picture.bytesPerLine();
    // Each call converts a block of rows at once; Little CMS copies its cache per call, so
    // one transform serves every thread.
    auto convertBlock = [&](int first, int last) {
        for (int y = first; y < last; ++y) {
            uchar* row = bits + y * stride;
            cmsDoTransform(transform_->handle, row, row, static_cast<cmsUInt32Number>(width));
        }
    };
    const int blocks = (height + kRowsPerBlock - 1) / kRowsPerBlock;
    const int threads =
        std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, std::max(1, blocks));
    std::atomic<int> next{0};
    auto work = [&] {
        for (int block = next++; block < blocks; block = next++) {
            convertBlock(block * kRowsPerBlock, std::min(height, (block + 1) * kRowsPerBlock));
        }
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < threads; ++i) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer threads: this one does the rest
        }
    }
    work();
    for (std::thread& helper : helpers) {
        helper.join();
    }
}

void convertToSrgb(QImage& picture, const QByteArray& iccProfile) {
    SrgbConversion(iccProfile, ProfileInput::Bgr).convertPicture(picture);
}

}  // namespace formats
