#include "formats/metafile/metafile_raster_ops.h"

#include <QRect>

namespace formats::metafile {

uint8_t mixCode(int mix) {
    // A mix mode's value less one is its truth table over pen and destination, the pen's bit
    // weighing 2; spread it over the table with the pen as source, the pattern left out.
    const auto table = static_cast<unsigned>(mix - 1) & 0x0F;
    uint8_t code = 0;
    for (unsigned index = 0; index < 8; ++index) {
        const unsigned pen = (index >> 1) & 1;
        const unsigned destination = index & 1;
        if (((table >> (pen * 2 + destination)) & 1) != 0) {
            code = static_cast<uint8_t>(code | (1u << index));
        }
    }
    return code;
}

uint32_t applyRasterOp(uint8_t code, uint32_t pattern, uint32_t source, uint32_t destination) {
    uint32_t result = 0;
    for (unsigned index = 0; index < 8; ++index) {
        if (((code >> index) & 1) == 0) {
            continue;
        }
        // The bits where pattern, source and destination equal this row of the table.
        const uint32_t p = (index & 4) != 0 ? pattern : ~pattern;
        const uint32_t s = (index & 2) != 0 ? source : ~source;
        const uint32_t d = (index & 1) != 0 ? destination : ~destination;
        result |= p & s & d;
    }
    return result & 0xFFFFFF;
}

void mixLayer(QImage& picture, QPoint at, const QImage& source, const QImage* pattern,
              uint8_t code) {
    const QRect area = QRect(at, source.size()) & picture.rect();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(picture.scanLine(y));
        const auto* from = reinterpret_cast<const uint32_t*>(source.constScanLine(y - at.y()));
        const auto* brush =
            pattern != nullptr
                ? reinterpret_cast<const uint32_t*>(pattern->constScanLine(y - at.y()))
                : nullptr;
        for (int x = area.left(); x <= area.right(); ++x) {
            const uint32_t s = from[x - at.x()];
            if ((s >> 24) == 0) {
                continue;
            }
            const uint32_t p = brush != nullptr ? brush[x - at.x()] : 0;
            row[x] = 0xFF000000u | applyRasterOp(code, p, s, row[x]);
        }
    }
}

}  // namespace formats::metafile
