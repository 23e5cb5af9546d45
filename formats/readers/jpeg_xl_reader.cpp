// JPEG XL through libjxl, codestream or container, held whole in memory. The decoder turns the
// first frame upright itself and hands it over row by row as 8-bit RGB, which goes straight
// into the BGR888 picture; alpha and other extra channels are left out. libjxl rounds to the
// nearest level when it brings deeper samples down to 8 bits, the same as (v*255+32767)/65535
// for 16-bit ones (checked over all 65536 values), so no wider buffer is needed.
//
// Colours: an XYB (lossy) image is stored in an absolute space that libjxl can render in any
// space it can name, so it is asked for sRGB directly, from its floating-point samples; left to
// itself it would give linear sRGB for an image with an ICC profile, and 8 bits of that lose
// the shadows. Other images come in the space they were stored in: nothing to do for sRGB, else
// the ICC profile of the pixel data (stored, or made by libjxl from the named space) goes to
// Little CMS.
#include <jxl/decode.h>
#include <jxl/decode_cxx.h>
#include <jxl/resizable_parallel_runner.h>
#include <jxl/resizable_parallel_runner_cxx.h>

#include <cstddef>
#include <cstdint>

#include "formats/format_error.h"
#include "formats/photo/colour_profile.h"
#include "formats/picture_limits.h"
#include "formats/readers/format_readers.h"

namespace formats {
namespace {

constexpr const char* kInvalid = "Cannot load image. Invalid or unexpected JPEG XL image format.";
constexpr const char* kCutShort = "Cannot load image. The JPEG XL file is cut short.";
constexpr const char* kNoMemory = "Not enough memory for the JPEG XL picture.";

// An ICC profile larger than this is not a colour profile but damage; the pixels stay as they are.
constexpr size_t kMaxProfileBytes = 64 * 1024 * 1024;

constexpr JxlPixelFormat kRgb8 = {3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};

// Where libjxl's rows go. libjxl calls storeRow() with RGB pieces of rows, possibly from several
// threads at once, each for pixels of its own; so the rows are reached through plain pointers
// taken beforehand, not through QImage (whose scanLine() counts detaches).
struct RowTarget {
    uchar* bits = nullptr;
    size_t bytesPerLine = 0;
    size_t width = 0;
    size_t height = 0;
};

void storeRow(void* opaque, size_t x, size_t y, size_t count, const void* pixels) {
    const RowTarget& target = *static_cast<const RowTarget*>(opaque);
    if (y >= target.height || x > target.width || count > target.width - x) {
        return;
    }
    const auto* in = static_cast<const uint8_t*>(pixels);
    uchar* out = target.bits + y * target.bytesPerLine + x * 3;
    for (size_t i = 0; i < count; ++i, in += 3, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
    }
}

bool isSrgb(const JxlColorEncoding& encoding) {
    const bool srgbPrimaries =
        encoding.color_space == JXL_COLOR_SPACE_GRAY ||
        (encoding.color_space == JXL_COLOR_SPACE_RGB && encoding.primaries == JXL_PRIMARIES_SRGB);
    return srgbPrimaries && encoding.white_point == JXL_WHITE_POINT_D65 &&
           encoding.transfer_function == JXL_TRANSFER_FUNCTION_SRGB;
}

JxlColorEncoding srgbEncoding(bool grey) {
    JxlColorEncoding encoding{};
    encoding.color_space = grey ? JXL_COLOR_SPACE_GRAY : JXL_COLOR_SPACE_RGB;
    encoding.white_point = JXL_WHITE_POINT_D65;
    encoding.primaries = JXL_PRIMARIES_SRGB;
    encoding.transfer_function = JXL_TRANSFER_FUNCTION_SRGB;
    encoding.rendering_intent = JXL_RENDERING_INTENT_PERCEPTUAL;
    return encoding;
}

// The profile to convert the decoded pixels from, or an empty one when they are sRGB already
// or their space cannot be told.
QByteArray profileOfPixels(JxlDecoder* decoder, const JxlBasicInfo& info) {
    if (!info.uses_original_profile) {
        const JxlColorEncoding srgb = srgbEncoding(info.num_color_channels == 1);
        // When libjxl refuses, the profile asked for below says what it renders instead.
        (void)JxlDecoderSetPreferredColorProfile(decoder, &srgb);
    }
    JxlColorEncoding encoding{};
    if (JxlDecoderGetColorAsEncodedProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                           &encoding) == JXL_DEC_SUCCESS &&
        isSrgb(encoding)) {
        return {};
    }
    size_t size = 0;
    if (JxlDecoderGetICCProfileSize(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
            JXL_DEC_SUCCESS ||
        size == 0 || size > kMaxProfileBytes) {
        return {};
    }
    QByteArray profile(static_cast<qsizetype>(size), Qt::Uninitialized);
    if (JxlDecoderGetColorAsICCProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                       reinterpret_cast<uint8_t*>(profile.data()),
                                       size) != JXL_DEC_SUCCESS) {
        return {};
    }
    return profile;
}

}  // namespace

QImage readJpegXl(const QByteArray& data) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
    const auto size = static_cast<size_t>(data.size());
    const JxlSignature signature = JxlSignatureCheck(bytes, size);
    if (signature != JXL_SIG_CODESTREAM && signature != JXL_SIG_CONTAINER) {
        throw FormatError(kInvalid);
    }

    // The runner works on the calling thread until the picture's size tells how many threads
    // are worth starting. Declared first, it outlives the decoder that uses it.
    const JxlResizableParallelRunnerPtr runner = JxlResizableParallelRunnerMake(nullptr);
    const JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
    if (!runner || !decoder) {
        throw FormatError(kNoMemory);
    }
    JxlDecoder* dec = decoder.get();
    if (JxlDecoderSubscribeEvents(dec, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                           JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetParallelRunner(dec, JxlResizableParallelRunner, runner.get()) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(dec, bytes, size) != JXL_DEC_SUCCESS) {
        throw FormatError(kInvalid);
    }

    JxlBasicInfo info{};
    bool haveInfo = false;
    QByteArray profile;
    QImage picture;
    RowTarget target;
    for (;;) {
        switch (JxlDecoderProcessInput(dec)) {
            case JXL_DEC_ERROR:
                throw FormatError(kInvalid);
            case JXL_DEC_NEED_MORE_INPUT:
                // All of the file was given at once: the rest is missing.
                throw FormatError(kCutShort);
            case JXL_DEC_BASIC_INFO:
                if (JxlDecoderGetBasicInfo(dec, &info) != JXL_DEC_SUCCESS) {
                    throw FormatError(kInvalid);
                }
                // The size of the picture as it will be seen, orientation applied.
                checkPictureSize(info.xsize, info.ysize, "JPEG XL");
                haveInfo = true;
                JxlResizableParallelRunnerSetThreads(
                    runner.get(), JxlResizableParallelRunnerSuggestThreads(info.xsize, info.ysize));
                break;
            case JXL_DEC_COLOR_ENCODING:
                if (!haveInfo) {
                    throw FormatError(kInvalid);
                }
                profile = profileOfPixels(dec, info);
                break;
            case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
                // Once, for the first frame shown; an animation stops after it.
                if (!haveInfo || !picture.isNull()) {
                    throw FormatError(kInvalid);
                }
                picture = QImage(static_cast<int>(info.xsize), static_cast<int>(info.ysize),
                                 QImage::Format_BGR888);
                if (picture.isNull()) {
                    throw FormatError(kNoMemory);
                }
                target = {picture.bits(), static_cast<size_t>(picture.bytesPerLine()), info.xsize,
                          info.ysize};
                if (JxlDecoderSetImageOutCallback(dec, &kRgb8, storeRow, &target) !=
                    JXL_DEC_SUCCESS) {
                    throw FormatError(kInvalid);
                }
                break;
            case JXL_DEC_FULL_IMAGE:
                if (picture.isNull()) {
                    throw FormatError(kInvalid);
                }
                convertToSrgb(picture, profile);
                return picture;
            case JXL_DEC_SUCCESS:
                // The file ended without a frame to show.
                throw FormatError(kInvalid);
            default:
                // No other event was asked for.
                throw FormatError(kInvalid);
        }
    }
}

}  // namespace formats
