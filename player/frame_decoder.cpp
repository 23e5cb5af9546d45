#include "player/frame_decoder.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <new>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

// libjpeg reports errors through a callback that must not return, so we leave it with
// longjmp. Everything with a destructor lives in a state struct owned by decodeFrame; the
// functions that call setjmp create no such object, so a jump skips no destructor.

namespace player {
namespace {

// libjpeg may use this much memory for one frame (whole-picture buffers of progressive files).
constexpr long kMaxDecoderMemory = 512L * 1024 * 1024;
// Progressive files with more scans than this are refused: each scan costs a pass over the
// picture, so a small file could otherwise keep the player busy for minutes.
constexpr int kMaxScans = 500;

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void leave(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    if (info->err->msg_code == JERR_NO_BACKING_STORE) {
        std::snprintf(manager->message, sizeof manager->message, "%s",
                      "the picture needs more memory than a frame may use");
    } else {
        (*info->err->format_message)(info, manager->message);
    }
    std::longjmp(manager->jump, 1);
}

void exitOnError(j_common_ptr info) {
    leave(info);
}

// Warnings that mean the pixels are not the picture's: the data ends early or is damaged.
// The others (extra bytes between markers, odd JFIF versions) are ignored.
void emitMessage(j_common_ptr info, int level) {
    if (level >= 0) {
        return;
    }
    switch (info->err->msg_code) {
        case JWRN_JPEG_EOF:
        case JWRN_HIT_MARKER:
        case JWRN_HUFF_BAD_CODE:
        case JWRN_MUST_RESYNC:
        case JWRN_NOT_SEQUENTIAL:
        case JWRN_BOGUS_PROGRESSION:
            leave(info);
        default:
            break;
    }
}

void limitScans(j_common_ptr info) {
    if (info->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans) {
        auto* manager = reinterpret_cast<ErrorManager*>(info->err);
        std::snprintf(manager->message, sizeof manager->message, "more than %d scans", kMaxScans);
        std::longjmp(manager->jump, 1);
    }
}

struct DecodeState {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    jpeg_progress_mgr progress{};
    std::span<const std::uint8_t> bytes;
    FitRect place;
    int targetWidth = 0;
    int targetHeight = 0;
    RgbImage decoded;
    std::vector<JSAMPLE> row;
    const char* refusal = nullptr;  // why the picture is refused, if it is
    bool tooLarge = false;
};

// Reads the header, refuses what the player cannot show and starts decoding at the chosen
// scale. False when libjpeg failed (errors.message) or the picture is refused (refusal).
bool startDecoder(DecodeState& state) {
    jpeg_decompress_struct& info = state.info;
    if (setjmp(state.errors.jump)) {
        return false;
    }
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = kMaxDecoderMemory;
    info.progress = &state.progress;
    jpeg_mem_src(&info, state.bytes.data(), static_cast<unsigned long>(state.bytes.size()));
    jpeg_read_header(&info, TRUE);
    if (info.image_width < 1 || info.image_height < 1 || info.image_width > kMaxFrameSide ||
        info.image_height > kMaxFrameSide) {
        state.tooLarge = true;
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
            state.refusal = "the picture's colour space is unknown";
            return false;
    }
    const int width = static_cast<int>(info.image_width);
    const int height = static_cast<int>(info.image_height);
    state.place = fitFrame(width, height);
    state.targetWidth = std::max(1, state.place.width);
    state.targetHeight = std::max(1, state.place.height);
    info.scale_num =
        static_cast<unsigned>(dctEighths(width, height, state.targetWidth, state.targetHeight));
    info.scale_denom = 8;
    jpeg_start_decompress(&info);
    return true;
}

void storeRow(const jpeg_decompress_struct& info, const JSAMPLE* row, std::uint8_t* target) {
    const JDIMENSION width = info.output_width;
    switch (info.out_color_space) {
        case JCS_GRAYSCALE:
            for (JDIMENSION x = 0; x < width; ++x) {
                target[3 * x] = target[3 * x + 1] = target[3 * x + 2] = row[x];
            }
            break;
        case JCS_CMYK: {
            // With an Adobe marker the inks are stored inverted (255 = no ink).
            const bool inverted = info.saw_Adobe_marker;
            for (JDIMENSION x = 0; x < width; ++x) {
                int light[4];
                for (int i = 0; i < 4; ++i) {
                    light[i] = inverted ? row[4 * x + i] : 255 - row[4 * x + i];
                }
                for (int i = 0; i < 3; ++i) {
                    target[3 * x + i] =
                        static_cast<std::uint8_t>((light[i] * light[3] + 127) / 255);
                }
            }
            break;
        }
        default:  // JCS_RGB
            std::copy(row, row + 3 * static_cast<std::size_t>(width), target);
            break;
    }
}

bool readRows(DecodeState& state) {
    jpeg_decompress_struct& info = state.info;
    if (setjmp(state.errors.jump)) {
        return false;
    }
    JSAMPLE* row = state.row.data();
    const std::size_t stride = static_cast<std::size_t>(info.output_width) * 3;
    while (info.output_scanline < info.output_height) {
        std::uint8_t* target = state.decoded.pixels.data() + info.output_scanline * stride;
        if (jpeg_read_scanlines(&info, &row, 1) != 1) {
            std::snprintf(state.errors.message, sizeof state.errors.message, "%s",
                          "the picture's data ends early");
            return false;
        }
        storeRow(info, row, target);
    }
    jpeg_finish_decompress(&info);
    return true;
}

DecodedFrame failed(std::string reason) {
    DecodedFrame result;
    result.error = std::move(reason);
    return result;
}

}  // namespace

int dctEighths(int width, int height, int targetWidth, int targetHeight) {
    for (int n = 1; n < 8; ++n) {
        const std::int64_t w = (static_cast<std::int64_t>(width) * n + 7) / 8;
        const std::int64_t h = (static_cast<std::int64_t>(height) * n + 7) / 8;
        if (w >= targetWidth && h >= targetHeight) {
            return n;
        }
    }
    return 8;
}

DecodedFrame decodeFrame(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return failed("the frame is empty");
    }
    DecodeState state;
    state.bytes = bytes;
    state.info.err = jpeg_std_error(&state.errors.base);
    state.errors.base.error_exit = exitOnError;
    state.errors.base.emit_message = emitMessage;
    state.errors.message[0] = '\0';
    state.progress.progress_monitor = limitScans;

    bool done = startDecoder(state);
    if (done) {
        try {
            const std::size_t stride = static_cast<std::size_t>(state.info.output_width) *
                                       static_cast<std::size_t>(state.info.output_components);
            state.row.resize(stride);
            state.decoded.width = static_cast<int>(state.info.output_width);
            state.decoded.height = static_cast<int>(state.info.output_height);
            state.decoded.pixels.resize(static_cast<std::size_t>(state.info.output_width) * 3 *
                                        state.info.output_height);
        } catch (const std::bad_alloc&) {
            state.refusal = "not enough memory to decode the picture";
            done = false;
        }
    }
    done = done && readRows(state);
    jpeg_destroy_decompress(&state.info);
    if (!done) {
        if (state.tooLarge) {
            return failed("the " + std::to_string(state.info.image_width) + " x " +
                          std::to_string(state.info.image_height) +
                          " picture is too large to show");
        }
        if (state.refusal != nullptr) {
            return failed(state.refusal);
        }
        return failed(std::string("not a readable JPEG picture (") + state.errors.message + ")");
    }

    DecodedFrame result;
    result.frame.place = state.place;
    if (state.decoded.width == state.targetWidth && state.decoded.height == state.targetHeight) {
        result.frame.image = std::move(state.decoded);
    } else {
        result.frame.image = resample(state.decoded, state.targetWidth, state.targetHeight);
    }
    return result;
}

}  // namespace player
