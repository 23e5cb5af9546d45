// Fuzz target: the player's frame decoder must refuse bad JPEG bytes with a message, never
// crash or leak, and return an accepted frame at the size and place it is shown at.
#include <cstddef>
#include <cstdint>
#include <span>

#include "player/display_fit.h"
#include "player/frame_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const player::DecodedFrame decoded = player::decodeFrame(std::span(data, size));
    if (!decoded.ok()) {
        return 0;
    }
    const player::FitRect& place = decoded.frame.place;
    const player::RgbImage& image = decoded.frame.image;
    if (place.left < player::kBoxLeft || place.top < player::kBoxTop ||
        place.left + place.width > player::kBoxLeft + player::kBoxWidth ||
        place.top + place.height > player::kBoxTop + player::kBoxHeight ||
        image.width != (place.width < 1 ? 1 : place.width) ||
        image.height != (place.height < 1 ? 1 : place.height) ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * image.height * 3) {
        __builtin_trap();
    }
    return 0;
}
