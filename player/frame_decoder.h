#pragma once
// Decoding one recorded frame, a JPEG picture, straight to the size it is shown at.
#include <cstdint>
#include <span>
#include <string>

#include "player/display_fit.h"
#include "player/frame_scale.h"

namespace player {

// Frames over this many pixels a side are refused.
inline constexpr int kMaxFrameSide = 30000;

struct ShownFrame {
    FitRect place;   // from fitFrame
    RgbImage image;  // place.width x place.height, each side at least 1
};

struct DecodedFrame {
    ShownFrame frame;
    std::string error;  // empty on success
    bool ok() const { return error.empty(); }
};

// Decodes the JPEG picture at the start of `bytes` (bytes after its end marker are ignored),
// letting libjpeg shrink it by n/8 while it still covers the shown size, then resampling it
// to that size. Damaged, truncated or oversized pictures are refused with a reason.
DecodedFrame decodeFrame(std::span<const std::uint8_t> bytes);

// The eighths (1..8) libjpeg decodes a width x height picture at: the fewest whose result is
// still at least targetWidth x targetHeight.
int dctEighths(int width, int height, int targetWidth, int targetHeight);

}  // namespace player
