// GIF through giflib, read from memory: the first image of the file, placed on the logical
// screen. The screen is filled with the background colour, which also shows through the
// first image's transparent pixels.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "formats/format_error.h"
#include "formats/picture_limits.h"
#include "formats/readers/format_readers.h"

namespace formats {
namespace {

struct GifSource {
    const uchar* data;
    qint64 size;
    qint64 position = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* out, int count) {
    auto* source = static_cast<GifSource*>(gif->UserData);
    const qint64 available = std::min<qint64>(count, source->size - source->position);
    std::memcpy(out, source->data + source->position, static_cast<size_t>(available));
    source->position += available;
    return static_cast<int>(available);
}

struct GifCloser {
    void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};

[[noreturn]] void fail(int error) {
    switch (error) {
        case D_GIF_ERR_NOT_GIF_FILE:
            throw FormatError("Invalid GIF signature");
        case D_GIF_ERR_READ_FAILED:
        case D_GIF_ERR_EOF_TOO_SOON:
            throw FormatError("Stream read error in GIF file.");
        case D_GIF_ERR_WRONG_RECORD:
            throw FormatError("Unknown GIF block type");
        case D_GIF_ERR_NOT_ENOUGH_MEM:
            throw FormatError("Not enough memory for the GIF picture.");
        default:
            throw FormatError("Invalid GIF data");
    }
}

// The transparent colour index of a graphic control extension, or -1.
int transparentIndexOf(int code, const GifByteType* block) {
    if (code != GRAPHICS_EXT_FUNC_CODE || block == nullptr || block[0] < 4) {
        return -1;
    }
    return (block[1] & 1) != 0 ? block[4] : -1;
}

void drawImage(GifFileType* gif, QImage& picture, int transparentIndex) {
    const GifImageDesc& image = gif->Image;
    const ColorMapObject* colours = image.ColorMap != nullptr ? image.ColorMap : gif->SColorMap;
    if (colours == nullptr || colours->Colors == nullptr) {
        throw FormatError("Cannot load image. Palette in GIF file is invalid.");
    }
    checkPictureSize(image.Width, image.Height, "GIF");
    std::vector<GifPixelType> line(static_cast<size_t>(image.Width));
    // Interlaced rows come in four passes: every 8th from 0, every 8th from 4, every 4th
    // from 2, every 2nd from 1.
    const int starts[] = {0, 4, 2, 1};
    const int steps[] = {8, 8, 4, 2};
    const int passes = image.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = image.Interlace ? starts[pass] : 0;
        const int step = image.Interlace ? steps[pass] : 1;
        for (int row = start; row < image.Height; row += step) {
            if (DGifGetLine(gif, line.data(), image.Width) == GIF_ERROR) {
                fail(gif->Error);
            }
            const qint64 y = qint64{image.Top} + row;
            if (y >= picture.height()) {
                continue;
            }
            uchar* out = picture.scanLine(static_cast<int>(y));
            for (int x = 0; x < image.Width; ++x) {
                const qint64 column = qint64{image.Left} + x;
                const int index = line[static_cast<size_t>(x)];
                if (column >= picture.width() || index == transparentIndex) {
                    continue;
                }
                if (index >= colours->ColorCount) {
                    throw FormatError("Color table overflow");
                }
                const GifColorType& colour = colours->Colors[index];
                uchar* at = out + 3 * column;
                at[0] = colour.Blue;
                at[1] = colour.Green;
                at[2] = colour.Red;
            }
        }
    }
}

}  // namespace

QImage readGif(const QByteArray& data) {
    GifSource source{reinterpret_cast<const uchar*>(data.constData()), data.size()};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&source, &readFromMemory, &error));
    if (!gif) {
        fail(error);
    }
    int transparentIndex = -1;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) {
            fail(gif->Error);
        }
        if (record == TERMINATE_RECORD_TYPE) {
            throw FormatError("Image is empty");
        }
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) {
                fail(gif->Error);
            }
            if (code == GRAPHICS_EXT_FUNC_CODE) {
                transparentIndex = transparentIndexOf(code, block);
            }
            while (block != nullptr) {
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) {
                    fail(gif->Error);
                }
            }
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE) {
            throw FormatError("Unknown GIF block type");
        }
        if (DGifGetImageDesc(gif.get()) == GIF_ERROR) {
            fail(gif->Error);
        }
        break;
    }
    const GifImageDesc& image = gif->Image;
    const qint64 width = gif->SWidth > 0 ? gif->SWidth : qint64{image.Left} + image.Width;
    const qint64 height = gif->SHeight > 0 ? gif->SHeight : qint64{image.Top} + image.Height;
    checkPictureSize(width, height, "GIF");
    QImage picture(static_cast<int>(width), static_cast<int>(height), QImage::Format_BGR888);
    if (picture.isNull()) {
        throw FormatError("Not enough memory for the GIF picture.");
    }
    QColor background(Qt::black);
    const ColorMapObject* screenColours = gif->SColorMap;
    if (screenColours != nullptr && gif->SBackGroundColor < screenColours->ColorCount) {
        const GifColorType& colour = screenColours->Colors[gif->SBackGroundColor];
        background = QColor(colour.Red, colour.Green, colour.Blue);
    }
    picture.fill(background);
    drawImage(gif.get(), picture, transparentIndex);
    return picture;
}

}  // namespace formats
