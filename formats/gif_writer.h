// The GIF writer of Save: one LZW-coded image over the fixed 216-colour palette.
#pragma once

#include <QByteArray>
#include <QImage>
#include <cstdint>

namespace formats {

// The palette is the 6 x 6 x 6 cube with channel levels 0, 51, 102, 153, 204 and 255, stored
// in a 256-entry colour table (the rest black). A channel value v goes to level (v + 3) / 51,
// so it rounds down unless it is at most 3 short of the next level; the pixel (R, G, B) takes
// index 36 r + 6 g + b directly, without dithering.
constexpr int gifCubeLevel(int channel) {
    return (channel + 3) / 51;
}
constexpr int gifPaletteIndex(int red, int green, int blue) {
    return 36 * gifCubeLevel(red) + 6 * gifCubeLevel(green) + gifCubeLevel(blue);
}

// Encodes the picture (any format; alpha is dropped as toPicture24() does) as a GIF with a
// global colour table and one image. Throws FormatError for an empty picture or one wider
// or taller than GIF's 65535 pixels.
QByteArray encodeGif(const QImage& picture);

}  // namespace formats
