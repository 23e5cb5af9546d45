// WebP files through libwebp's advanced encoding API, which tells why an encoding failed.
#include "formats/webp_writer.h"

#include <webp/encode.h>

#include <algorithm>
#include <string>

#include "formats/format_error.h"
#include "formats/picture_file.h"

namespace formats {
namespace {

// libwebp's picture and the memory it writes the file into, freed however encoding ends.
struct Encoding {
    WebPPicture picture;
    WebPMemoryWriter writer;

    Encoding() {
        WebPPictureInit(&picture);
        WebPMemoryWriterInit(&writer);
        picture.writer = WebPMemoryWrite;
        picture.custom_ptr = &writer;
    }
    ~Encoding() {
        WebPPictureFree(&picture);
        WebPFree(writer.mem);
    }
    Encoding(const Encoding&) = delete;
    Encoding& operator=(const Encoding&) = delete;
};

const char* reasonFor(WebPEncodingError error) {
    switch (error) {
        case VP8_ENC_ERROR_OUT_OF_MEMORY:
        case VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY:
            return "not enough memory";
        case VP8_ENC_ERROR_PARTITION0_OVERFLOW:
        case VP8_ENC_ERROR_PARTITION_OVERFLOW:
            return "the picture holds too much detail for a lossy WebP file";
        case VP8_ENC_ERROR_FILE_TOO_BIG:
            return "the file would be larger than WebP allows";
        case VP8_ENC_ERROR_BAD_DIMENSION:
            return "WebP cannot hold a picture of this size";
        default:
            return "libwebp could not encode it";
    }
}

[[noreturn]] void cannotSave(const char* reason) {
    throw FormatError(std::string("Cannot save the picture as WebP: ") + reason + ".");
}

}  // namespace

QByteArray encodeWebp(const QImage& picture, int quality) {
    const QImage source = toPicture24(picture);
    if (source.isNull() || source.width() < 1 || source.height() < 1) {
        throw FormatError("Cannot save an empty picture as WebP.");
    }
    if (source.width() > WEBP_MAX_DIMENSION || source.height() > WEBP_MAX_DIMENSION) {
        throw FormatError("The picture is too large for a WebP file (" +
                          std::to_string(source.width()) + " x " + std::to_string(source.height()) +
                          " pixels; WebP holds at most 16383 pixels a side).");
    }
    const bool lossless = quality <= 0;
    WebPConfig config;
    // For lossless files the quality is the effort spent on compression; the default suits.
    const float factor = lossless ? 75.0f : static_cast<float>(std::min(quality, 100));
    if (!WebPConfigPreset(&config, WEBP_PRESET_DEFAULT, factor)) {
        cannotSave("libwebp is not the version Mugwarp was built with");
    }
    config.lossless = lossless ? 1 : 0;
    if (!WebPValidateConfig(&config)) {
        cannotSave("libwebp refused the settings");
    }
    Encoding encoding;
    encoding.picture.use_argb = lossless ? 1 : 0;
    encoding.picture.width = source.width();
    encoding.picture.height = source.height();
    if (!WebPPictureImportBGR(&encoding.picture, source.constBits(),
                              static_cast<int>(source.bytesPerLine()))) {
        cannotSave("not enough memory");
    }
    if (!WebPEncode(&config, &encoding.picture)) {
        cannotSave(reasonFor(encoding.picture.error_code));
    }
    return QByteArray(reinterpret_cast<const char*>(encoding.writer.mem),
                      static_cast<qsizetype>(encoding.writer.size));
}

}  // namespace formats
