#include "formats/png_writer.h"

#include <png.h>

#include <csetjmp>
#include <string>
#include <vector>

#include "formats/format_error.h"
#include "formats/picture_file.h"

namespace formats {
namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* output = static_cast<QByteArray*>(png_get_io_ptr(png));
    output->append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
}

void noFlush(png_structp) {}

// libpng reports errors by long jump; the message is kept for the exception thrown after it.
void keepError(png_structp png, png_const_charp message) {
    auto* kept = static_cast<std::string*>(png_get_error_ptr(png));
    *kept = message;
    png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

// Everything libpng touches between setjmp and a long jump back lives in the caller, so no
// object with a destructor is skipped by the jump.
bool encode(const QImage& picture, const std::vector<png_bytep>& rows, QByteArray& output,
            std::string& error) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, keepError, ignoreWarning);
    if (png == nullptr) {
        error = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &output, appendBytes, noFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width()),
                 static_cast<png_uint_32>(picture.height()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);  // the picture's rows are blue, green, red
    png_write_image(png, const_cast<png_bytepp>(rows.data()));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

QByteArray encodePng(const QImage& picture) {
    if (picture.isNull()) {
        throw FormatError("Cannot save an empty picture as PNG.");
    }
    const QImage rgb = toPicture24(picture);
    std::vector<png_bytep> rows(static_cast<size_t>(rgb.height()));
    for (int y = 0; y < rgb.height(); ++y) {
        rows[static_cast<size_t>(y)] = const_cast<png_bytep>(rgb.constScanLine(y));
    }
    QByteArray output;
    std::string error;
    if (!encode(rgb, rows, output, error)) {
        throw FormatError("Cannot save the picture as PNG: " + error);
    }
    return output;
}

}  // namespace formats
