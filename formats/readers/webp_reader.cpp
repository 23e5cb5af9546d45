// WebP through libwebp and its demuxer. A still picture decodes straight into the BGR raster; an
// animation shows its first frame as libwebp's animation decoder composites it on the canvas
// (transparent black outside the frame). Alpha is dropped with the colours kept as stored. The
// ICCP chunk's profile is converted to sRGB and the EXIF chunk's orientation applied.
#include <webp/decode.h>
#include <webp/demux.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "formats/format_error.h"
#include "formats/photo/colour_profile.h"
#include "formats/photo/exif_orientation.h"
#include "formats/photo/photo_finish.h"
#include "formats/picture_limits.h"
#include "formats/readers/format_readers.h"

namespace formats {
namespace {

constexpr const char* kInvalid = "Cannot load image. Invalid or unexpected WebP image format.";
constexpr const char* kCutShort = "Stream read error in WebP file.";
constexpr const char* kDamaged = "Cannot load image. The WebP picture data is damaged.";
constexpr const char* kNoMemory = "Not enough memory for the WebP picture.";

struct DemuxerDeleter {
    void operator()(WebPDemuxer* demuxer) const { WebPDemuxDelete(demuxer); }
};

struct AnimationDecoderDeleter {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

uint32_t little32(const uint8_t* at) {
    return uint32_t{at[0]} | (uint32_t{at[1]} << 8) | (uint32_t{at[2]} << 16) |
           (uint32_t{at[3]} << 24);
}

// The payload of the first chunk named fourcc, or nothing.
QByteArray chunkOf(const WebPDemuxer* demuxer, const char* fourcc) {
    WebPChunkIterator chunk;
    QByteArray payload;
    if (WebPDemuxGetChunk(demuxer, fourcc, 1, &chunk)) {
        payload = QByteArray(reinterpret_cast<const char*>(chunk.chunk.bytes),
                             static_cast<qsizetype>(chunk.chunk.size));
    }
    WebPDemuxReleaseChunkIterator(&chunk);
    return payload;
}

QImage blankPicture(int width, int height) {
    QImage picture(width, height, QImage::Format_BGR888);
    if (picture.isNull()) {
        throw FormatError(kNoMemory);
    }
    return picture;
}

[[noreturn]] void throwFor(VP8StatusCode status) {
    switch (status) {
        case VP8_STATUS_NOT_ENOUGH_DATA:
            throw FormatError(kCutShort);
        case VP8_STATUS_OUT_OF_MEMORY:
            throw FormatError(kNoMemory);
        case VP8_STATUS_UNSUPPORTED_FEATURE:
            throw FormatError(
                "Cannot load image. The WebP file uses a feature Mugwarp cannot read.");
        default:
            throw FormatError(kDamaged);
    }
}

// A still picture: its one frame (the demuxer has checked that it fills the canvas), decoded
// as BGR into the picture's own rows.
QImage decodeStill(const WebPDemuxer* demuxer, int width, int height) {
    WebPIterator frame;
    if (!WebPDemuxGetFrame(demuxer, 1, &frame)) {
        throw FormatError(kInvalid);
    }
    const WebPData bitstream = frame.fragment;  // points into the file's bytes
    const bool fills = frame.complete && frame.width == width && frame.height == height;
    WebPDemuxReleaseIterator(&frame);
    if (!fills) {
        throw FormatError(kInvalid);
    }
    QImage picture = blankPicture(width, height);
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) {
        throw FormatError(kInvalid);
    }
    config.output.colorspace = MODE_BGR;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = picture.bits();
    config.output.u.RGBA.stride = static_cast<int>(picture.bytesPerLine());
    config.output.u.RGBA.size = static_cast<size_t>(picture.sizeInBytes());
    const VP8StatusCode status = WebPDecode(bitstream.bytes, bitstream.size, &config);
    WebPFreeDecBuffer(&config.output);  // frees nothing of ours: the memory is external
    if (status != VP8_STATUS_OK) {
        throwFor(status);
    }
    return picture;
}

// The first frame of an animation as it shows on the canvas, its alpha dropped.
QImage decodeFirstFrame(const WebPData& file, int width, int height) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) {
        throw FormatError(kInvalid);
    }
    options.color_mode = MODE_BGRA;
    options.use_threads = 0;
    const std::unique_ptr<WebPAnimDecoder, AnimationDecoderDeleter> decoder(
        WebPAnimDecoderNew(&file, &options));
    if (decoder == nullptr) {
        throw FormatError(kDamaged);
    }
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(decoder.get(), &info) ||
        info.canvas_width != static_cast<uint32_t>(width) ||
        info.canvas_height != static_cast<uint32_t>(height)) {
        throw FormatError(kInvalid);
    }
    uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) || canvas == nullptr) {
        throw FormatError(kDamaged);
    }
    QImage picture = blankPicture(width, height);
    for (int y = 0; y < height; ++y) {
        const uint8_t* from = canvas + static_cast<size_t>(y) * static_cast<size_t>(width) * 4;
        uchar* to = picture.scanLine(y);
        for (int x = 0; x < width; ++x, from += 4, to += 3) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
    }
    return picture;
}

}  // namespace

QImage readWebp(const QByteArray& data) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
    if (data.size() < 12 || std::memcmp(bytes, "RIFF", 4) != 0 ||
        std::memcmp(bytes + 8, "WEBP", 4) != 0) {
        throw FormatError(kInvalid);
    }
    // The RIFF size counts the bytes after its own field; fewer means the file was cut short.
    if (data.size() - 8 < qint64{little32(bytes + 4)}) {
        throw FormatError(kCutShort);
    }
    const WebPData file{bytes, static_cast<size_t>(data.size())};
    const std::unique_ptr<WebPDemuxer, DemuxerDeleter> demuxer(WebPDemux(&file));
    if (demuxer == nullptr) {
        throw FormatError(kInvalid);
    }
    const uint32_t width = WebPDemuxGetI(demuxer.get(), WEBP_FF_CANVAS_WIDTH);
    const uint32_t height = WebPDemuxGetI(demuxer.get(), WEBP_FF_CANVAS_HEIGHT);
    checkPictureSize(width, height, "WebP");
    const bool animated =
        (WebPDemuxGetI(demuxer.get(), WEBP_FF_FORMAT_FLAGS) & ANIMATION_FLAG) != 0;
    QImage picture =
        animated ? decodeFirstFrame(file, static_cast<int>(width), static_cast<int>(height))
                 : decodeStill(demuxer.get(), static_cast<int>(width), static_cast<int>(height));
    return finishPhotograph(std::move(picture),
                            SrgbConversion(chunkOf(demuxer.get(), "ICCP"), ProfileInput::Bgr),
                            exifOrientation(chunkOf(demuxer.get(), "EXIF")));
}

}  // namespace formats
