// PNG through libpng, read from memory. libpng reports errors by longjmp, so the decoding
// function keeps every object with a destructor declared before its setjmp.
#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "formats/format_error.h"
#include "formats/photo/colour_profile.h"
#include "formats/photo/exif_orientation.h"
#include "formats/photo/photo_finish.h"
#include "formats/picture_limits.h"
#include "formats/readers/format_readers.h"

namespace formats {
namespace {

struct PngSource {
    const uchar* data = nullptr;
    size_t size = 0;
    size_t position = 0;
    bool cutShort = false;
    bool pixelsRead = false;  // an error after this only loses the chunks behind the pixels
    char message[200] = {};
};

// What the file says of its colours and orientation.
struct PngDescription {
    QByteArray iccProfile;
    bool srgb = false;
    bool hasGamma = false;
    bool hasChromaticities = false;
    Chromaticities space;
    QByteArray exif;
};

void describeColours(png_structp png, png_infop info, PngDescription& description) {
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &length) == PNG_INFO_iCCP &&
        profile != nullptr) {
        description.iccProfile =
            QByteArray(reinterpret_cast<const char*>(profile), static_cast<qsizetype>(length));
    }
    int intent = 0;
    description.srgb = png_get_sRGB(png, info, &intent) == PNG_INFO_sRGB;
    double gamma = 0;
    if (png_get_gAMA(png, info, &gamma) == PNG_INFO_gAMA && gamma > 0) {
        description.hasGamma = true;
        // The chunk holds the encoding exponent; the curve decodes with its inverse.
        description.space.curve = TransferCurve::Gamma;
        description.space.gamma = 1.0 / gamma;
    }
    Chromaticities& c = description.space;
    description.hasChromaticities =
        png_get_cHRM(png, info, &c.whiteX, &c.whiteY, &c.redX, &c.redY, &c.greenX, &c.greenY,
                     &c.blueX, &c.blueY) == PNG_INFO_cHRM;
}

void readExif(png_structp png, png_infop info, PngDescription& description) {
    png_uint_32 length = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(png, info, &length, &exif) == PNG_INFO_eXIf && exif != nullptr) {
        description.exif =
            QByteArray(reinterpret_cast<const char*>(exif), static_cast<qsizetype>(length));
    }
}

// The conversion the chunks ask for, in libpng's order of precedence: an ICC profile, else an
// sRGB chunk (nothing to do), else gAMA with cHRM (sRGB's primaries when cHRM is missing). A
// gamma of 1/2.2 without other primaries is how many writers label sRGB, and is taken as such.
SrgbConversion conversionFor(const PngDescription& description) {
    if (!description.iccProfile.isEmpty()) {
        return SrgbConversion(description.iccProfile, ProfileInput::Bgr);
    }
    if (description.srgb || (!description.hasGamma && !description.hasChromaticities)) {
        return {};
    }
    Chromaticities space = description.space;
    if (!description.hasGamma) {
        space.curve = TransferCurve::Srgb;
    } else if (std::abs(space.gamma - 2.2) < 0.02) {
        space.curve = TransferCurve::Srgb;  // 1/2.2 (45455) labels the sRGB curve
    }
    if (!description.hasChromaticities) {
        const Chromaticities srgb;
        space = Chromaticities{srgb.whiteX, srgb.whiteY, srgb.redX,  srgb.redY,   srgb.greenX,
                               srgb.greenY, srgb.blueX,  srgb.blueY, space.curve, space.gamma};
    }
    return SrgbConversion(space);
}

void readFromMemory(png_structp png, png_bytep out, size_t count) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (count > source->size - source->position) {
        source->cutShort = true;
        png_error(png, "unexpected end of file");
    }
    std::memcpy(out, source->data + source->position, count);
    source->position += count;
}

void onError(png_structp png, png_const_charp message) {
    auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
    std::snprintf(source->message, sizeof source->message, "%s", message);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

std::string messageFor(const PngSource& source) {
    const std::string text = source.message;
    if (source.cutShort) {
        return "Stream read error in PNG file.";
    }
    if (text.find("CRC") != std::string::npos) {
        return "Cannot load image. CRC error found in PNG file.";
    }
    if (text.find("unknown critical chunk") != std::string::npos) {
        return "Cannot load PNG image. Unexpected but critical chunk detected.";
    }
    if (text.find("IDAT") != std::string::npos || text.find("image data") != std::string::npos) {
        return "Cannot load image. Compression error found in PNG file.";
    }
    return "Cannot load image. Invalid or unexpected PNG image format. (" + text + ")";
}

// Returns false with source.message set when libpng fails.
bool decode(PngSource& source, QImage& picture, std::vector<png_bytep>& rows,
            PngDescription& description) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, &onError, &onWarning);
    if (png == nullptr) {
        std::snprintf(source.message, sizeof source.message, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        if (source.pixelsRead) {
            // A damaged chunk behind the pixels: the picture is whole, its EXIF may be lost.
            readExif(png, info, description);
        }
        png_destroy_read_struct(&png, &info, nullptr);
        return source.pixelsRead;
    }
    png_set_read_fn(png, &source, &readFromMemory);
    png_set_user_limits(png, static_cast<png_uint_32>(kMaxPictureSide),
                        static_cast<png_uint_32>(kMaxPictureSide));
    png_read_info(png, info);
    describeColours(png, info, description);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (qint64{width} * height > kMaxPicturePixels) {
        png_error(png, "picture too large");
    }
    png_set_strip_16(png);
    png_set_palette_to_rgb(png);
    png_set_expand_gray_1_2_4_to_8(png);
    png_set_gray_to_rgb(png);
    png_set_strip_alpha(png);  // colours kept as stored, like every reader
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t{width} * 3) {
        png_error(png, "unexpected sample layout");
    }
    picture = QImage(static_cast<int>(width), static_cast<int>(height), QImage::Format_BGR888);
    if (picture.isNull()) {
        png_error(png, "out of memory");
    }
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) {
        rows[y] = picture.scanLine(static_cast<int>(y));
    }
    png_read_image(png, rows.data());
    source.pixelsRead = true;
    // An eXIf chunk may also follow the pixels.
    png_read_end(png, info);
    readExif(png, info, description);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

QImage readPng(const QByteArray& data) {
    if (data.size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(data.constData()), 0, 8)) {
        throw FormatError("Cannot load image. Invalid or unexpected PNG image format.");
    }
    // The size, from the header chunk that must come first, is checked before libpng starts.
    if (data.size() >= 24 && data.mid(12, 4) == "IHDR") {
        const auto* header = reinterpret_cast<const uchar*>(data.constData()) + 16;
        auto big32 = [](const uchar* at) {
            return (qint64{at[0]} << 24) | (at[1] << 16) | (at[2] << 8) | at[3];
        };
        checkPictureSize(big32(header), big32(header + 4), "PNG");
    }
    PngSource source;
    source.data = reinterpret_cast<const uchar*>(data.constData());
    source.size = static_cast<size_t>(data.size());
    QImage picture;
    std::vector<png_bytep> rows;
    PngDescription description;
    if (!decode(source, picture, rows, description)) {
        throw FormatError(messageFor(source));
    }
    return finishPhotograph(std::move(picture), conversionFor(description),
                            exifOrientation(description.exif));
}

}  // namespace formats
