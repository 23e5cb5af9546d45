#include "formats/gif_writer.h"

#include <gif_lib.h>

#include <memory>
#include <string>
#include <vector>

#include "formats/format_error.h"
#include "formats/picture_file.h"

namespace formats {
namespace {

constexpr int kTableSize = 256;  // 8 bits of colour resolution
constexpr int kCubeSize = 216;

int writeToArray(GifFileType* gif, const GifByteType* bytes, int count) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), count);
    return count;
}

struct MapFreer {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

[[noreturn]] void fail(int error) {
    throw FormatError(std::string("Cannot save the GIF picture: ") +
                      (GifErrorString(error) != nullptr ? GifErrorString(error) : "error") + ".");
}

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
    std::unique_ptr<ColorMapObject, MapFreer> map(GifMakeMapObject(kTableSize, colours.data()));
    if (!map) {
        throw FormatError("Not enough memory to save the GIF picture.");
    }
    QByteArray file;
    int error = 0;
    GifFileType* gif = EGifOpen(&file, &writeToArray, &error);
    if (gif == nullptr) {
        fail(error);
    }
    // EGifCloseFile frees gif whether or not it succeeds; every failure path goes through it.
    auto closeAndFail = [&]() {
        const int cause = gif->Error;
        EGifCloseFile(gif, nullptr);
        fail(cause);
    };
    if (EGifPutScreenDesc(gif, picture.width(), picture.height(), 8, 0, map.get()) == GIF_ERROR ||
        EGifPutImageDesc(gif, 0, 0, picture.width(), picture.height(), false, nullptr) ==
            GIF_ERROR) {
        closeAndFail();
    }
    std::vector<GifPixelType> line(static_cast<size_t>(picture.width()));
    for (int y = 0; y < picture.height(); ++y) {
        const uchar* in = picture.constScanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            const uchar* pixel = in + 3 * x;  // blue, green, red
            line[static_cast<size_t>(x)] =
                static_cast<GifPixelType>(gifPaletteIndex(pixel[2], pixel[1], pixel[0]));
        }
        if (EGifPutLine(gif, line.data(), picture.width()) == GIF_ERROR) {
            closeAndFail();
        }
    }
    if (EGifCloseFile(gif, &error) == GIF_ERROR) {
        fail(error);
    }
    return file;
}

}  // namespace formats
