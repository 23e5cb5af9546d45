#include "formats/gif_writer.h"

#include <vector>

#include "formats/format_error.h"
#include "formats/gif_memory_output.h"
#include "formats/picture_file.h"

namespace formats {
namespace {

constexpr int kTableSize = 256;  // 8 bits of colour resolution
constexpr int kCubeSize = 216;
constexpr const char* kSubject = "GIF picture";

}  // namespace

QByteArray encodeGif(const QImage& source) {
    const QImage picture = toPicture24(source);
    if (picture.isNull()) {
        throw FormatError("Cannot save an empty picture as GIF.");
    }
    if (picture.width() > 65535 || picture.height() > 65535) {
        throw FormatError("The picture is too large for a GIF file.");
    }
    std::vector<GifColorType> colours(kTableSize, GifColorType{0, 0, 0});
    for (int index = 0; index < kCubeSize; ++index) {
        colours[static_cast<size_t>(index)] =
            GifColorType{static_cast<GifByteType>(51 * (index / 36)),
                         static_cast<GifByteType>(51 * (index / 6 % 6)),
                         static_cast<GifByteType>(51 * (index % 6))};
    }
    const GifColourMap map = makeGifColourMap(colours, kSubject);
    GifMemoryOutput output(kSubject);
    output.check(
        EGifPutScreenDesc(output.gif(), picture.width(), picture.height(), 8, 0, map.get()));
    output.check(
        EGifPutImageDesc(output.gif(), 0, 0, picture.width(), picture.height(), false, nullptr));
    std::vector<GifPixelType> line(static_cast<size_t>(picture.width()));
    for (int y = 0; y < picture.height(); ++y) {
        const uchar* in = picture.constScanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            const uchar* pixel = in + 3 * x;  // blue, green, red
            line[static_cast<size_t>(x)] =
                static_cast<GifPixelType>(gifPaletteIndex(pixel[2], pixel[1], pixel[0]));
        }
        output.check(EGifPutLine(output.gif(), line.data(), picture.width()));
    }
    return output.finish();
}

}  // namespace formats
