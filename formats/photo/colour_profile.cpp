#include "formats/photo/colour_profile.h"

#include "formats/photo/matrix_shaper.h"
#include "formats/photo/row_bands.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
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

}  // namespace

struct SrgbConversion::Transform {
    explicit Transform(cmsHTRANSFORM h) : handle(h) {}
    ~Transform() { cmsDeleteTransform(handle); }
    Transform(const Transform&) = delete;
    Transform& operator=(const Transform&) = delete;
    cmsHTRANSFORM handle;
    // For matrix-shaper RGB profiles: the same conversion by tables, much faster on large
    // pictures; only kept when it agrees with Little CMS's own transform.
    std::optional<MatrixShaperToSrgb> tables;
};

SrgbConversion::SrgbConversion() = default;
SrgbConversion::~SrgbConversion() = default;
SrgbConversion::SrgbConversion(SrgbConversion&&) noexcept = default;
SrgbConversion& SrgbConversion::operator=(SrgbConversion&&) noexcept = default;

namespace {

// Colours spread over the cube, for checking the tables against the transform.
std::vector<uchar> sampleColours() {
    std::vector<uchar> colours;
    for (int b = 0; b < 256; b += 15) {
        for (int g = 0; g < 256; g += 15) {
            for (int r = 0; r < 256; r += 15) {
                colours.insert(colours.end(), {static_cast<uchar>(b), static_cast<uchar>(g),
                                               static_cast<uchar>(r)});
            }
        }
    }
    return colours;
}

// The tables of a matrix-shaper source when they give what Little CMS gives within one level
// (perceptual intent with black-point compensation reduces to the matrices for these
// profiles, but a profile may hold surprises).
std::optional<MatrixShaperToSrgb> checkedTables(void* source, cmsHTRANSFORM transform) {
    std::optional<MatrixShaperToSrgb> tables = MatrixShaperToSrgb::from(source);
    if (!tables) {
        return tables;
    }
    const std::vector<uchar> colours = sampleColours();
    const int count = static_cast<int>(colours.size() / 3);
    std::vector<uchar> exact(colours.size());
    std::vector<uchar> fast(colours.size());
    cmsDoTransform(transform, colours.data(), exact.data(), static_cast<cmsUInt32Number>(count));
    tables->convert(colours.data(), fast.data(), count);
    for (size_t i = 0; i < colours.size(); ++i) {
        if (std::abs(exact[i] - fast[i]) > 1) {
            return std::nullopt;
        }
    }
    return tables;
}

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
        if (input == ProfileInput::Bgr) {
            transform_->tables = checkedTables(source.get(), handle);
        }
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
        transform_->tables = checkedTables(source.get(), handle);
    }
}

void SrgbConversion::convertRow(const uchar* source, uchar* target, int count) const {
    if (!transform_ || count <= 0) {
        return;
    }
    if (transform_->tables) {
        transform_->tables->convert(source, target, count);
    } else {
        cmsDoTransform(transform_->handle, source, target, static_cast<cmsUInt32Number>(count));
    }
}

bool SrgbConversion::convertsPictures() const {
    return transform_ && input_ == ProfileInput::Bgr;
}

void SrgbConversion::convertRows(QImage& picture, int first, int last) const {
    const int width = picture.width();
    for (int y = std::max(first, 0); y < std::min(last, picture.height()); ++y) {
        // constBits() does not detach: the caller owns the picture and its rows.
        uchar* row = const_cast<uchar*>(picture.constBits()) + y * picture.bytesPerLine();
        convertRow(row, row, width);
    }
}

void SrgbConversion::convertPicture(QImage& picture) const {
    if (!convertsPictures() || picture.isNull() || picture.format() != QImage::Format_BGR888) {
        return;
    }
    picture.bits();  // detaches once, before the threads share the rows
    // Little CMS copies its cache per call, so one transform serves every thread.
    forEachRowBand(picture.height(),
                   [&](int first, int last) { convertRows(picture, first, last); });
}

void convertToSrgb(QImage& picture, const QByteArray& iccProfile) {
    SrgbConversion(iccProfile, ProfileInput::Bgr).convertPicture(picture);
}

}  // namespace formats
