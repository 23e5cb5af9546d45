#include "formats/jpeg_codec.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

// The encoder hands libjpeg the picture's rows in their blue, green, red order.
#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo (with its extended colour spaces) is needed"
#endif

#include "formats/format_error.h"
#include "formats/photo/colour_profile.h"
#include "formats/photo/exif_orientation.h"
#include "formats/photo/photo_finish.h"
#include "formats/picture_file.h"
#include "formats/picture_limits.h"

// libjpeg reports errors through a callback that must not return, so we leave it with
// longjmp. Every C++ object the codec needs lives in a state struct owned by the caller of the
// function that calls setjmp; between setjmp and a possible longjmp that function creates no
// object with a destructor, so the jump skips no destructor and leaks nothing.

namespace formats {
namespace {

constexpr int kQuality = 90;

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool messageFromLibrary;
};

[[noreturn]] void leaveWithMessage(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    manager->messageFromLibrary = true;
    std::longjmp(manager->jump, 1);
}

void exitOnError(j_common_ptr info) {
    leaveWithMessage(info);
}

// Warnings that mean the decoded pixels are not the file's picture: the data ends early, or
// the entropy-coded data is damaged. The rest (extra bytes between markers, odd JFIF
// versions) leave the picture whole and are ignored.
bool isDamageWarning(int code) {
    switch (code) {
        case JWRN_JPEG_EOF:
        case JWRN_HIT_MARKER:
        case JWRN_HUFF_BAD_CODE:
        case JWRN_MUST_RESYNC:
        case JWRN_NOT_SEQUENTIAL:
        case JWRN_BOGUS_PROGRESSION:
            return true;
        default:
            return false;
    }
}

void emitMessage(j_common_ptr info, int level) {
    if (level < 0 && isDamageWarning(info->err->msg_code)) {
        auto* manager = reinterpret_cast<ErrorManager*>(info->err);
        if (info->err->msg_code == JWRN_JPEG_EOF || info->err->msg_code == JWRN_HIT_MARKER) {
            std::snprintf(manager->message, sizeof manager->message, "%s",
                          "JPEG decompression error. Unexpected end of input.");
            std::longjmp(manager->jump, 1);
        }
        leaveWithMessage(info);
    }
}

void installErrorManager(j_common_ptr info, ErrorManager& manager) {
    info->err = jpeg_std_error(&manager.base);
    manager.base.error_exit = exitOnError;
    manager.base.emit_message = emitMessage;
    manager.message[0] = '\0';
    manager.messageFromLibrary = false;
}

// The text for a failed run: libjpeg's own messages get a prefix that says what failed.
std::string failureText(const ErrorManager& manager, const char* what) {
    if (manager.message[0] == '\0') {
        return "Cannot load image. Invalid or unexpected JPEG image format.";
    }
    if (manager.messageFromLibrary) {
        return std::string(what) + manager.message;
    }
    return manager.message;
}

// ---- encoding ----

// Destination that grows a QByteArray; term_destination trims it to what was written.
struct ByteArrayDestination {
    jpeg_destination_mgr base;
    QByteArray* bytes;
};

void initDestination(j_compress_ptr info) {
    auto* destination = reinterpret_cast<ByteArrayDestination*>(info->dest);
    // The caller has sized the buffer: nothing here may throw.
    destination->base.next_output_byte = reinterpret_cast<JOCTET*>(destination->bytes->data());
    destination->base.free_in_buffer = static_cast<size_t>(destination->bytes->size());
}

boolean growDestination(j_compress_ptr info) {
    auto* destination = reinterpret_cast<ByteArrayDestination*>(info->dest);
    const qsizetype used = destination->bytes->size();
    // A C++ exception must not unwind through libjpeg's C frames: turn it into its error.
    bool grown = true;
    try {
        destination->bytes->resize(used * 2);
    } catch (const std::bad_alloc&) {
        grown = false;
    }
    if (!grown) {
        ERREXIT(info, JERR_OUT_OF_MEMORY);
    }
    destination->base.next_output_byte =
        reinterpret_cast<JOCTET*>(destination->bytes->data()) + used;
    destination->base.free_in_buffer = static_cast<size_t>(used);
    return TRUE;
}

void terminateDestination(j_compress_ptr info) {
    auto* destination = reinterpret_cast<ByteArrayDestination*>(info->dest);
    destination->bytes->resize(destination->bytes->size() -
                               static_cast<qsizetype>(destination->base.free_in_buffer));
}

struct EncodeState {
    jpeg_compress_struct info{};
    ErrorManager errors{};
    ByteArrayDestination destination{};
    QImage picture;
    QByteArray output;
    std::vector<JSAMPROW> rows;  // the picture's scan lines, which libjpeg only reads
};

bool runEncoder(EncodeState& state) {
    jpeg_compress_struct& info = state.info;
    if (setjmp(state.errors.jump)) {
        return false;
    }
    jpeg_create_compress(&info);
    state.destination.base.init_destination = initDestination;
    state.destination.base.empty_output_buffer = growDestination;
    state.destination.base.term_destination = terminateDestination;
    state.destination.bytes = &state.output;
    info.dest = &state.destination.base;

    info.image_width = static_cast<JDIMENSION>(state.picture.width());
    info.image_height = static_cast<JDIMENSION>(state.picture.height());
    info.input_components = 3;
    // The Format_BGR888 rows as they are: no copy to swap red and blue.
    info.in_color_space = JCS_EXT_BGR;
    // The defaults give YCbCr, 2x2/1x1/1x1 sampling, standard Huffman tables, baseline and a
    // JFIF marker; we only fix them explicitly where a later library default could differ.
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, kQuality, TRUE);
    info.dct_method = JDCT_FLOAT;
    info.optimize_coding = FALSE;
    info.write_JFIF_header = TRUE;

    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        jpeg_write_scanlines(&info, state.rows.data() + info.next_scanline,
                             info.image_height - info.next_scanline);
    }
    jpeg_finish_compress(&info);
    return true;
}

// ---- decoding ----

struct DecodeState {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    const QByteArray* data = nullptr;
    QImage picture;
    std::vector<JSAMPLE> row;
    bool sizeRefused = false;
    qint64 width = 0;
    qint64 height = 0;
    QByteArray exif;                // the first APP1 "Exif" segment's payload
    QByteArray iccProfile;          // the APP2 "ICC_PROFILE" chunks joined
    SrgbConversion cmykConversion;  // CMYK rows through their profile, when it has one
};

// The payload of the first saved APP1 segment that holds EXIF.
QByteArray exifSegment(const jpeg_decompress_struct& info) {
    for (jpeg_saved_marker_ptr marker = info.marker_list; marker != nullptr;
         marker = marker->next) {
        if (marker->marker == JPEG_APP0 + 1 && marker->data_length >= 6 &&
            std::memcmp(marker->data, "Exif\0\0", 6) == 0) {
            return QByteArray(reinterpret_cast<const char*>(marker->data),
                              static_cast<qsizetype>(marker->data_length));
        }
    }
    return {};
}

// The embedded ICC profile, reassembled by libjpeg from its chunks; empty when there is none
// or its chunks do not fit together.
QByteArray iccProfile(j_decompress_ptr info) {
    JOCTET* profile = nullptr;
    unsigned int length = 0;
    if (!jpeg_read_icc_profile(info, &profile, &length) || profile == nullptr) {
        return {};
    }
    QByteArray bytes(reinterpret_cast<const char*>(profile), static_cast<qsizetype>(length));
    std::free(profile);
    return bytes;
}

// Pixels of one decoded row into the BGR888 row of the picture.
void storeRow(const DecodeState& state, const JSAMPLE* row, uchar* target) {
    const jpeg_decompress_struct& info = state.info;
    const JDIMENSION width = info.output_width;
    if (info.out_color_space == JCS_CMYK && state.cmykConversion.isValid()) {
        state.cmykConversion.convertRow(row, target, static_cast<int>(width));
        return;
    }
    switch (info.out_color_space) {
        case JCS_GRAYSCALE:
            for (JDIMENSION x = 0; x < width; ++x) {
                target[3 * x] = target[3 * x + 1] = target[3 * x + 2] = row[x];
            }
            break;
        case JCS_CMYK: {
            // Files with an Adobe marker store the inks inverted (255 = no ink); the others
            // store the amount of ink.
            const bool inverted = info.saw_Adobe_marker;
            for (JDIMENSION x = 0; x < width; ++x) {
                int c = row[4 * x], m = row[4 * x + 1], y = row[4 * x + 2], k = row[4 * x + 3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    y = 255 - y;
                    k = 255 - k;
                }
                // Here every value is 255 minus its ink: the light that passes.
                target[3 * x] = static_cast<uchar>((y * k + 127) / 255);
                target[3 * x + 1] = static_cast<uchar>((m * k + 127) / 255);
                target[3 * x + 2] = static_cast<uchar>((c * k + 127) / 255);
            }
            break;
        }
        default:  // JCS_RGB
            for (JDIMENSION x = 0; x < width; ++x) {
                target[3 * x] = row[3 * x + 2];
                target[3 * x + 1] = row[3 * x + 1];
                target[3 * x + 2] = row[3 * x];
            }
            break;
    }
}

// Reads the header and chooses the output colour space. Returns false when libjpeg failed or
// the file's size or colour space is refused (state says which).
bool runDecoder(DecodeState& state) {
    jpeg_decompress_struct& info = state.info;
    if (setjmp(state.errors.jump)) {
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(state.data->constData()),
                 static_cast<unsigned long>(state.data->size()));
    // EXIF (orientation) and the colour profile come from these segments.
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        std::snprintf(state.errors.message, sizeof state.errors.message, "%s",
                      "Cannot load image. Invalid or unexpected JPEG image format.");
        return false;
    }
    state.width = info.image_width;
    state.height = info.image_height;
    if (state.width < 1 || state.height < 1 || state.width > kMaxPictureSide ||
        state.height > kMaxPictureSide || state.width * state.height > kMaxPicturePixels) {
        state.sizeRefused = true;
        return false;
    }
    switch (info.jpeg_color_space) {
        case JCS_GRAYSCALE:
            info.out_color_space = JCS_GRAYSCALE;
            break;
        case JCS_YCbCr:
        case JCS_RGB:
            info.out_color_space = JCS_RGB;
            break;
        case JCS_CMYK:
        case JCS_YCCK:
            info.out_color_space = JCS_CMYK;
            break;
        default:
            std::snprintf(state.errors.message, sizeof state.errors.message, "%s",
                          "Invalid color format in JPEG file.");
            return false;
    }
    state.exif = exifSegment(info);
    state.iccProfile = iccProfile(&info);
    info.dct_method = JDCT_FLOAT;
    jpeg_start_decompress(&info);
    if (static_cast<qint64>(info.output_width) != state.width ||
        static_cast<qint64>(info.output_height) != state.height) {
        std::snprintf(state.errors.message, sizeof state.errors.message, "%s",
                      "Cannot load image. Invalid or unexpected JPEG image format.");
        return false;
    }
    return true;
}

bool readScanlines(DecodeState& state) {
    jpeg_decompress_struct& info = state.info;
    if (setjmp(state.errors.jump)) {
        return false;
    }
    JSAMPLE* row = state.row.data();
    while (info.output_scanline < info.output_height) {
        uchar* target = state.picture.scanLine(static_cast<int>(info.output_scanline));
        if (jpeg_read_scanlines(&info, &row, 1) != 1) {
            std::snprintf(state.errors.message, sizeof state.errors.message, "%s",
                          "JPEG decompression error. Unexpected end of input.");
            return false;
        }
        storeRow(state, row, target);
    }
    jpeg_finish_decompress(&info);
    return true;
}

}  // namespace

QByteArray encodeJpeg(const QImage& picture) {
    EncodeState state;
    state.picture = toPicture24(picture);
    if (state.picture.isNull()) {
        throw FormatError("Cannot save an empty picture as JPEG.");
    }
    state.rows.resize(static_cast<size_t>(state.picture.height()));
    for (int y = 0; y < state.picture.height(); ++y) {
        state.rows[static_cast<size_t>(y)] = const_cast<JSAMPROW>(state.picture.constScanLine(y));
    }
    state.output.resize(64 * 1024);
    installErrorManager(reinterpret_cast<j_common_ptr>(&state.info), state.errors);
    const bool done = runEncoder(state);
    jpeg_destroy_compress(&state.info);
    if (!done) {
        throw FormatError(failureText(state.errors, "Cannot save the JPEG picture: "));
    }
    return state.output;
}

QImage decodeJpeg(const QByteArray& data) {
    DecodeState state;
    state.data = &data;
    installErrorManager(reinterpret_cast<j_common_ptr>(&state.info), state.errors);
    bool done = runDecoder(state);
    if (done) {
        const int components = state.info.out_color_components;
        state.row.resize(static_cast<size_t>(state.info.output_width) *
                         static_cast<size_t>(components));
        state.picture = QImage(static_cast<int>(state.width), static_cast<int>(state.height),
                               QImage::Format_BGR888);
        if (state.picture.isNull()) {
            jpeg_destroy_decompress(&state.info);
            throw FormatError("Not enough memory to load the JPEG picture.");
        }
        if (state.info.out_color_space == JCS_CMYK) {
            // Adobe's writers store the inks inverted (255 = no ink).
            state.cmykConversion = SrgbConversion(state.iccProfile, state.info.saw_Adobe_marker
                                                                        ? ProfileInput::InvertedCmyk
                                                                        : ProfileInput::Cmyk);
        }
        done = readScanlines(state);
    }
    const bool cmyk = state.info.out_color_space == JCS_CMYK;
    jpeg_destroy_decompress(&state.info);
    if (state.sizeRefused) {
        checkPictureSize(state.width, state.height, "JPEG");
    }
    if (!done) {
        throw FormatError(failureText(state.errors, "Cannot load the JPEG picture: "));
    }
    // CMYK rows went through their profile as they were decoded.
    const SrgbConversion conversion =
        cmyk ? SrgbConversion() : SrgbConversion(state.iccProfile, ProfileInput::Bgr);
    return finishPhotograph(std::move(state.picture), conversion, exifOrientation(state.exif));
}

}  // namespace formats
