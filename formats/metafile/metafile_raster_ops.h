// Raster operations as a device applies them: every bit of the result is a function of the
// same bit of the pattern (brush), the source (bitmap) and the destination, given as the
// operation's truth table of eight bits.
#pragma once

#include <QImage>
#include <QPoint>
#include <cstdint>

namespace formats::metafile {

// The truth table of a ternary raster operation: bits 16..23 of its 32-bit code.
constexpr uint8_t ternaryCode(uint32_t rasterOp) {
    return static_cast<uint8_t>((rasterOp >> 16) & 0xFF);
}

// The truth table of a mix mode (1 black .. 13 copy pen .. 16 white) with the pen in the
// place of the source.
uint8_t mixCode(int mix);

// True when the operation reads the pattern.
constexpr bool usesPattern(uint8_t code) {
    return (code >> 4) != (code & 0x0F);
}

// The operation on 24-bit colours (red in the low byte, or any fixed byte order).
uint32_t applyRasterOp(uint8_t code, uint32_t pattern, uint32_t source, uint32_t destination);

// Mixes the layers into `picture` (Format_RGB32) with its top-left corner at `at`: wherever
// `source` (ARGB32 premultiplied) is not transparent, the picture pixel becomes the operation
// of the `pattern` pixel (black when there is none), the source pixel and itself.
void mixLayer(QImage& picture, QPoint at, const QImage& source, const QImage* pattern,
              uint8_t code);

}  // namespace formats::metafile
