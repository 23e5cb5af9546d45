// Resampling a whole picture to a new size, as the image size dialog does.
#pragma once

#include <QImage>

namespace effects {

// The Format_BGR888 `picture` resampled to exactly `width` x `height` pixels (both >= 1), each
// axis on its own: an axis that shrinks averages the source pixels each target pixel covers,
// weighted by how much of each it covers (area averaging); an axis that grows interpolates
// linearly between the two nearest source pixel centres (smooth, no blocks); an axis that
// keeps its size copies it unchanged. Channels are rounded to the nearest value, halves up,
// once at the end; a picture of one colour stays that colour exactly.
// Throws std::invalid_argument for another format, an empty picture or a size below 1.
QImage resizePicture(const QImage& picture, int width, int height);

}  // namespace effects
