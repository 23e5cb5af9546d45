// Windows bitmaps: our own writer of the plain 24-bit file, and the reader.
#pragma once

#include <QByteArray>
#include <QImage>

namespace formats {

// A 24-bit bottom-up BMP with a BITMAPINFOHEADER, rows padded to 4 bytes, no palette and no
// resolution. Pictures that are not Format_BGR888 go through toPicture24() first. Throws
// FormatError for an empty picture.
QByteArray encodeBmp24(const QImage& picture);

// Decodes a BMP file into a Format_BGR888 picture: the same as readBmp() of
// format_readers.h, kept for the callers that think of BMP as a codec. Throws FormatError.
QImage decodeBmp(const QByteArray& data);

}  // namespace formats
