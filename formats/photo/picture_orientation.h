// Turning a picture upright from the orientation its file records (EXIF, TIFF tag 274, and the
// same eight values for HEIF and JPEG XL transforms).
#pragma once

#include <QImage>

namespace formats {

// The picture as it should be seen when stored with orientation 1..8 (1 upright, 2 mirrored,
// 3 turned half way, 4 flipped, 5 transposed, 6 turned a quarter clockwise to view, 7
// transversed, 8 turned a quarter anticlockwise to view). 5..8 swap width and height. Any
// other value gives the picture as it is. Works on Format_BGR888 pictures in bands spread over
// the machine's cores, tile by tile; other formats are converted first. Throws FormatError
// when memory for the turned copy cannot be had.
QImage orientUpright(QImage picture, int orientation);

// The two halves of orientUpright(), for callers that do more to each band of rows on the
// way: an empty Format_BGR888 picture of the upright size (orientation 2..8), and the placing
// of the stored picture's rows [first, last) into it. Bands may be placed side by side from
// several threads: each writes only its own pixels of `upright`.
QImage uprightCanvas(const QImage& stored, int orientation);
void placeUpright(const QImage& stored, QImage& upright, int orientation, int first, int last);

}  // namespace formats
