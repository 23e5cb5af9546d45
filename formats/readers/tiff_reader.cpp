// TIFF through libtiff, read from memory: the first page, any compression libtiff was built
// with (none, LZW, deflate, JPEG, fax groups 3 and 4, PackBits and more), turned into RGB by
// libtiff's RGBA interface, turned upright by its orientation tag and converted to sRGB by its
// embedded profile.
#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "formats/format_error.h"
#include "formats/photo/colour_profile.h"
#include "formats/photo/photo_finish.h"
#include "formats/picture_limits.h"
#include "formats/readers/format_readers.h"

namespace formats {
namespace {

// Bound on any single allocation libtiff makes for strips, tiles and tables.
constexpr tmsize_t kLargestTiffAllocation = 600LL * 1024 * 1024;

struct TiffSource {
    const uchar* data;
    toff_t size;
    toff_t position = 0;
    char message[256] = {};
};

tmsize_t readFromMemory(thandle_t handle, void* out, tmsize_t count) {
    auto* source = static_cast<TiffSource*>(handle);
    if (count < 0) {
        return -1;
    }
    const toff_t left = source->position < source->size ? source->size - source->position : 0;
    const toff_t taken = std::min<toff_t>(static_cast<toff_t>(count), left);
    std::memcpy(out, source->data + source->position, taken);
    source->position += taken;
    return static_cast<tmsize_t>(taken);
}

tmsize_t refuseWrite(thandle_t, void*, tmsize_t) {
    return -1;
}

toff_t seekInMemory(thandle_t handle, toff_t offset, int whence) {
    auto* source = static_cast<TiffSource*>(handle);
    toff_t base = 0;
    if (whence == SEEK_CUR) {
        base = source->position;
    } else if (whence == SEEK_END) {
        base = source->size;
    }
    // libtiff passes negative relative offsets as wrapped unsigned values.
    const toff_t target = base + offset;
    if (target > source->size && static_cast<int64_t>(offset) < 0) {
        return static_cast<toff_t>(-1);
    }
    source->position = target;
    return target;
}

int closeMemory(thandle_t) {
    return 0;
}

toff_t sizeOfMemory(thandle_t handle) {
    return static_cast<TiffSource*>(handle)->size;
}

int onError(TIFF*, void* user, const char*, const char* format, va_list arguments) {
    auto* source = static_cast<TiffSource*>(user);
    if (source->message[0] == '\0') {  // the first error is the cause
        std::vsnprintf(source->message, sizeof source->message, format, arguments);
    }
    return 1;
}

int onWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

[[noreturn]] void fail(const TiffSource& source) {
    std::string message = "Cannot load image. Invalid or unexpected TIF/TIFF image format.";
    if (source.message[0] != '\0') {
        message += std::string(" (") + source.message + ")";
    }
    throw FormatError(message);
}

bool hasUnassociatedAlpha(TIFF* tiff) {
    uint16_t count = 0;
    uint16_t* kinds = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &count, &kinds) != 1) {
        return false;
    }
    return count > 0 && kinds != nullptr && kinds[0] == EXTRASAMPLE_UNASSALPHA;
}

// The orientation tag (274), 1 when it is missing or out of range.
int orientationOf(TIFF* tiff) {
    uint16_t orientation = ORIENTATION_TOPLEFT;
    if (TIFFGetField(tiff, TIFFTAG_ORIENTATION, &orientation) != 1 || orientation < 1 ||
        orientation > 8) {
        return 1;
    }
    return orientation;
}

// libtiff's RGBA interface mirrors and flips by the orientation but cannot turn (it treats 5..8
// like 1..4). Asking for the file's own group gives the rows exactly as stored, which
// orientUpright() then turns for all eight.
uint16_t storedOrder(int orientation) {
    return static_cast<uint16_t>(orientation > 4 ? orientation - 4 : orientation);
}

// The embedded ICC profile (tag 34675) of a picture whose samples are RGB or grey: libtiff's
// RGBA interface has already turned CMYK and Lab into RGB, which such a profile no longer fits.
QByteArray rgbProfileOf(TIFF* tiff) {
    uint16_t photometric = PHOTOMETRIC_RGB;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    if (photometric != PHOTOMETRIC_RGB && photometric != PHOTOMETRIC_MINISBLACK &&
        photometric != PHOTOMETRIC_MINISWHITE && photometric != PHOTOMETRIC_PALETTE &&
        photometric != PHOTOMETRIC_YCBCR) {
        return {};
    }
    uint32_t length = 0;
    void* profile = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &length, &profile) != 1 || profile == nullptr) {
        return {};
    }
    return QByteArray(static_cast<const char*>(profile), static_cast<qsizetype>(length));
}

}  // namespace

QImage readTiff(const QByteArray& data) {
    const bool intel = data.startsWith(QByteArray("II*\0", 4)) || data.startsWith("II+");
    const bool motorola = data.startsWith(QByteArray("MM\0*", 4)) || data.startsWith("MM\0+");
    if (!intel && !motorola) {
        throw FormatError("Cannot load image. Invalid or unexpected TIF/TIFF image format.");
    }
    TiffSource source{reinterpret_cast<const uchar*>(data.constData()),
                      static_cast<toff_t>(data.size())};
    std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(),
                                                                         &TIFFOpenOptionsFree);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kLargestTiffAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), &onError, &source);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), &onWarning, &source);
    std::unique_ptr<TIFF, TiffCloser> tiff(
        TIFFClientOpenExt("memory", "rm", &source, &readFromMemory, &refuseWrite, &seekInMemory,
                          &closeMemory, &sizeOfMemory, nullptr, nullptr, options.get()));
    if (!tiff) {
        fail(source);
    }
    uint32_t width = 0;
    uint32_t height = 0;
    TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
    checkPictureSize(width, height, "TIF/TIFF");
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_COMPRESSION, &compression);
    if (!TIFFIsCODECConfigured(compression)) {
        throw FormatError(
            "Cannot load image. The compression scheme is not supported for TIF/TIFF files.");
    }
    char reason[1024] = {};
    if (TIFFRGBAImageOK(tiff.get(), reason) != 1) {
        throw FormatError(
            std::string("Color conversion failed. Could not find a proper method. (") + reason +
            ")");
    }
    std::vector<uint32_t> raster(size_t{width} * height);
    const int orientation = orientationOf(tiff.get());
    if (TIFFReadRGBAImageOriented(tiff.get(), width, height, raster.data(),
                                  storedOrder(orientation), 1) != 1) {
        fail(source);
    }
    // libtiff hands out unassociated alpha premultiplied; undo that so colours stay as stored.
    const bool unpremultiply = hasUnassociatedAlpha(tiff.get());
    QImage picture(static_cast<int>(width), static_cast<int>(height), QImage::Format_BGR888);
    if (picture.isNull()) {
        throw FormatError("Not enough memory for the TIF/TIFF picture.");
    }
    for (uint32_t y = 0; y < height; ++y) {
        uchar* out = picture.scanLine(static_cast<int>(y));
        const uint32_t* in = raster.data() + size_t{y} * width;
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t pixel = in[x];
            uint32_t red = TIFFGetR(pixel);
            uint32_t green = TIFFGetG(pixel);
            uint32_t blue = TIFFGetB(pixel);
            const uint32_t alpha = TIFFGetA(pixel);
            if (unpremultiply && alpha != 0 && alpha != 255) {
                red = std::min<uint32_t>(255, (red * 255 + alpha / 2) / alpha);
                green = std::min<uint32_t>(255, (green * 255 + alpha / 2) / alpha);
                blue = std::min<uint32_t>(255, (blue * 255 + alpha / 2) / alpha);
            }
            out[3 * x] = static_cast<uchar>(blue);
            out[3 * x + 1] = static_cast<uchar>(green);
            out[3 * x + 2] = static_cast<uchar>(red);
        }
    }
    std::vector<uint32_t>().swap(raster);  // the turn below needs room for its own copy
    return finishPhotograph(std::move(picture),
                            SrgbConversion(rgbProfileOf(tiff.get()), ProfileInput::Bgr),
                            orientation);
}

}  // namespace formats
