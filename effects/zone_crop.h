// The zone of a picture that cut and copy take.
#pragma once

#include <QImage>

namespace effects {

// Columns left..right and rows top..bottom of the Format_BGR888 `picture`, counted from 1
// and inclusive, as a picture of their own: target pixel (c − left, r − top) is source pixel
// (c − 1, r − 1). Throws std::invalid_argument for another format or a zone that does not lie
// inside the picture with at least one pixel (1 <= left <= right <= width, and likewise for
// the rows).
QImage cropToZone(const QImage& picture, int left, int top, int right, int bottom);

}  // namespace effects
