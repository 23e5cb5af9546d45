// The orientation a camera or phone recorded in a picture's EXIF block.
#pragma once

#include <QByteArray>

namespace formats {

// The EXIF Orientation (tag 274 of the first IFD) of an EXIF block, given either as a JPEG
// APP1 payload (starting "Exif\0\0") or as the bare TIFF structure that PNG's eXIf chunk and
// WebP's EXIF chunk hold. Returns 1 (upright as stored) when the block is absent, damaged,
// has no orientation or gives a value outside 1..8: a bad block never refuses a picture.
int exifOrientation(const QByteArray& exif);

}  // namespace formats
