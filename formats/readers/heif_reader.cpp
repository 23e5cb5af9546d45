// HEIC, HEIF and AVIF through libheif, which decodes HEVC with libde265 and AV1 with dav1d or
// aom. The primary image of the file is decoded with its transforms (clean aperture, rotation,
// mirroring) applied by libheif, so that it comes out upright; deeper pictures are reduced to
// 8 bits with rounding, alpha is dropped with the colours kept as stored, and the colours are
// converted to sRGB from the ICC profile or the nclx primaries and curve of the colr box.
#include <libheif/heif.h>

#include <QByteArray>
#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "formats/format_error.h"
#include "formats/photo/colour_profile.h"
#include "formats/picture_limits.h"
#include "formats/readers/format_readers.h"

namespace formats {
namespace {

// libheif's codec registry, set up on first use and taken down at exit.
struct Library {
    Library() { heif_init(nullptr); }
    ~Library() { heif_deinit(); }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
};

void useLibrary() {
    static const Library library;
}

struct ContextFree {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleRelease {
    void operator()(const heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageRelease {
    void operator()(const heif_image* image) const { heif_image_release(image); }
};
struct OptionsFree {
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};
struct NclxFree {
    void operator()(heif_color_profile_nclx* nclx) const { heif_nclx_color_profile_free(nclx); }
};
using Context = std::unique_ptr<heif_context, ContextFree>;
using Handle = std::unique_ptr<const heif_image_handle, HandleRelease>;
using Image = std::unique_ptr<const heif_image, ImageRelease>;
using Options = std::unique_ptr<heif_decoding_options, OptionsFree>;
using Nclx = std::unique_ptr<heif_color_profile_nclx, NclxFree>;

// "AVIF" for files whose main brand is an AV1 one, "HEIF" for the others, for the messages.
const char* formatNameOf(const QByteArray& data) {
    if (data.size() < 12) {
        return "HEIF";
    }
    const heif_brand2 brand =
        heif_read_main_brand(reinterpret_cast<const uint8_t*>(data.constData()), 12);
    const bool av1 = brand == heif_fourcc_to_brand("avif") || brand == heif_fourcc_to_brand("avis");
    return av1 ? "AVIF" : "HEIF";
}

// libheif's message on one line, without its trailing spaces and line breaks.
std::string oneLine(const char* message) {
    std::string text = message != nullptr ? message : "";
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

[[noreturn]] void failWith(const char* formatName, const char* libraryMessage) {
    std::string text =
        std::string("Cannot load image. Invalid or unexpected ") + formatName + " image format.";
    if (const std::string detail = oneLine(libraryMessage); !detail.empty()) {
        text += " (" + detail + ")";
    }
    throw FormatError(text);
}

void check(const heif_error& error, const char* formatName) {
    if (error.code == heif_error_Ok) {
        return;
    }
    if (error.subcode == heif_suberror_Security_limit_exceeded) {
        // libheif refuses a side above the limit it was given while it reads the boxes.
        std::string detail = oneLine(error.message);
        const std::string::size_type size = detail.find("Image size");
        if (size != std::string::npos) {
            detail.erase(0, size);
        }
        throw FormatError(std::string("The ") + formatName + " picture is too large to edit (" +
                          detail +
                          "; Mugwarp edits up to 30000 pixels a side and 120 million pixels in "
                          "all).");
    }
    failWith(formatName, error.message);
}

// The colour space an nclx box names, when it is one Little CMS can convert from; nothing for
// sRGB, for unspecified values, and for curves we do not model (PQ, HLG, logarithmic).
std::optional<Chromaticities> spaceOf(const heif_color_profile_nclx& nclx) {
    Chromaticities space;  // BT.709 primaries, D65 and the sRGB curve
    auto set = [&space](double rx, double ry, double gx, double gy, double bx, double by, double wx,
                        double wy) {
        space.redX = rx;
        space.redY = ry;
        space.greenX = gx;
        space.greenY = gy;
        space.blueX = bx;
        space.blueY = by;
        space.whiteX = wx;
        space.whiteY = wy;
    };
    constexpr double d65X = 0.3127, d65Y = 0.3290;
    constexpr double illuminantCX = 0.310, illuminantCY = 0.316;
    switch (static_cast<int>(nclx.color_primaries)) {
        case 1:  // BT.709, sRGB
        case 2:  // unspecified: taken as BT.709
            break;
        case 4:  // BT.470 System M
            set(0.67, 0.33, 0.21, 0.71, 0.14, 0.08, illuminantCX, illuminantCY);
            break;
        case 5:  // BT.470 System B, G
            set(0.64, 0.33, 0.29, 0.60, 0.15, 0.06, d65X, d65Y);
            break;
        case 6:  // BT.601 525 lines
        case 7:  // SMPTE 240M
            set(0.630, 0.340, 0.310, 0.595, 0.155, 0.070, d65X, d65Y);
            break;
        case 8:  // generic film
            set(0.681, 0.319, 0.243, 0.692, 0.145, 0.049, illuminantCX, illuminantCY);
            break;
        case 9:  // BT.2020, BT.2100
            set(0.708, 0.292, 0.170, 0.797, 0.131, 0.046, d65X, d65Y);
            break;
        case 11:  // SMPTE RP 431-2, DCI-P3
            set(0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.314, 0.351);
            break;
        case 12:  // SMPTE EG 432-1, Display P3
            set(0.680, 0.320, 0.265, 0.690, 0.150, 0.060, d65X, d65Y);
            break;
        case 22:  // EBU Tech. 3213-E
            set(0.630, 0.340, 0.295, 0.605, 0.155, 0.077, d65X, d65Y);
            break;
        default:
            return std::nullopt;
    }
    switch (static_cast<int>(nclx.transfer_characteristics)) {
        case 1:   // BT.709
        case 6:   // BT.601
        case 14:  // BT.2020 10 bits
        case 15:  // BT.2020 12 bits
            space.curve = TransferCurve::Bt709;
            break;
        case 2:   // unspecified: taken as sRGB
        case 13:  // sRGB
            space.curve = TransferCurve::Srgb;
            break;
        case 4:  // BT.470 System M
            space.curve = TransferCurve::Gamma;
            space.gamma = 2.2;
            break;
        case 5:  // BT.470 System B, G
            space.curve = TransferCurve::Gamma;
            space.gamma = 2.8;
            break;
        case 8:  // linear
            space.curve = TransferCurve::Gamma;
            space.gamma = 1.0;
            break;
        default:
            return std::nullopt;
    }
    return space;
}

// An ICC profile in colr wins over an nclx one, as libheif reports them.
void convertColours(QImage& picture, const heif_image_handle* handle) {
    const size_t iccSize = heif_image_handle_get_raw_color_profile_size(handle);
    if (iccSize > 0 && iccSize <= static_cast<size_t>(kMaxPictureFileBytes)) {
        QByteArray icc(static_cast<qsizetype>(iccSize), '\0');
        if (heif_image_handle_get_raw_color_profile(handle, icc.data()).code == heif_error_Ok) {
            convertToSrgb(picture, icc);
        }
        return;
    }
    heif_color_profile_nclx* raw = nullptr;
    const heif_error found = heif_image_handle_get_nclx_color_profile(handle, &raw);
    const Nclx nclx(raw);
    if (found.code != heif_error_Ok || nclx == nullptr) {
        return;
    }
    if (const std::optional<Chromaticities> space = spaceOf(*nclx)) {
        SrgbConversion(*space).convertPicture(picture);
    }
}

// Copies libheif's interleaved RGB(A) rows, 8 bits or 16-bit little-endian words holding
// `bits` bits, into BGR rows, dropping alpha.
void copyPixels(const uint8_t* pixels, int stride, int channels, int bits, QImage& picture) {
    const int width = picture.width();
    const bool deep = bits > 8;
    const unsigned maximum = (1u << bits) - 1;
    for (int y = 0; y < picture.height(); ++y) {
        const uint8_t* in = pixels + static_cast<size_t>(y) * static_cast<size_t>(stride);
        uchar* out = picture.scanLine(y);
        for (int x = 0; x < width; ++x, out += 3) {
            if (!deep) {
                const uint8_t* pixel = in + static_cast<size_t>(x) * channels;
                out[0] = pixel[2];
                out[1] = pixel[1];
                out[2] = pixel[0];
                continue;
            }
            const uint8_t* pixel = in + static_cast<size_t>(x) * channels * 2;
            for (int c = 0; c < 3; ++c) {
                const unsigned value =
                    std::min<unsigned>(pixel[2 * c] | (pixel[2 * c + 1] << 8), maximum);
                out[2 - c] = static_cast<uchar>((value * 255 + maximum / 2) / maximum);
            }
        }
    }
}

}  // namespace

QImage readHeif(const QByteArray& data) {
    const char* name = formatNameOf(data);
    if (data.size() < 12) {
        failWith(name, nullptr);
    }
    useLibrary();
    const Context context(heif_context_alloc());
    if (context == nullptr) {
        throw FormatError(std::string("Not enough memory to load the ") + name + " picture.");
    }
    heif_context_set_maximum_image_size_limit(context.get(), static_cast<int>(kMaxPictureSide));
    check(heif_context_read_from_memory_without_copy(context.get(), data.constData(),
                                                     static_cast<size_t>(data.size()), nullptr),
          name);
    heif_image_handle* rawHandle = nullptr;
    const heif_error primary = heif_context_get_primary_image_handle(context.get(), &rawHandle);
    const Handle handle(rawHandle);
    check(primary, name);
    if (handle == nullptr) {
        failWith(name, "no primary image");
    }
    // Width and height already include the rotation and the clean aperture.
    checkPictureSize(heif_image_handle_get_width(handle.get()),
                     heif_image_handle_get_height(handle.get()), name);

    const int depth = std::max(heif_image_handle_get_luma_bits_per_pixel(handle.get()),
                               heif_image_handle_get_chroma_bits_per_pixel(handle.get()));
    const bool deep = depth > 8;
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    const heif_chroma chroma =
        deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
             : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    const Options options(heif_decoding_options_alloc());
    if (options == nullptr) {
        throw FormatError(std::string("Not enough memory to load the ") + name + " picture.");
    }
    options->ignore_transformations = 0;          // libheif turns the picture upright
    options->convert_hdr_to_8bit = deep ? 0 : 1;  // an undeclared deep picture still fits
    heif_image* rawImage = nullptr;
    const heif_error decoded =
        heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, chroma, options.get());
    const Image image(rawImage);
    check(decoded, name);
    if (image == nullptr) {
        failWith(name, "no picture decoded");
    }

    // The decoded plane is checked again, as the codec's own size may differ from the header's.
    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    checkPictureSize(width, height, name);
    const int channels = alpha ? 4 : 3;
    const int bits = heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t* pixels =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int storedBits = deep ? 16 : 8;
    if (heif_image_get_chroma_format(image.get()) != chroma || pixels == nullptr ||
        (deep ? bits < 9 || bits > 16 : bits != 8) ||
        heif_image_get_bits_per_pixel(image.get(), heif_channel_interleaved) !=
            channels * storedBits ||
        stride < 0 || stride / channels / (storedBits / 8) < width) {
        failWith(name, "unexpected decoded pixel layout");
    }

    QImage picture(width, height, QImage::Format_BGR888);
    if (picture.isNull()) {
        throw FormatError(std::string("Not enough memory to load the ") + name + " picture.");
    }
    copyPixels(pixels, stride, channels, bits, picture);
    convertColours(picture, handle.get());
    return picture;
}

}  // namespace formats
