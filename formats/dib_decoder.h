// The device-independent bitmap inside BMP files and icons: header, colour masks, palette and
// the plain or run-length coded rows.
#pragma once

#include <QImage>
#include <QtGlobal>

namespace formats {

// Decodes the bitmap whose info header starts at dib (size bytes available from there) into
// a Format_BGR888 picture. pixelOffset is where the rows start, counted from dib, or -1 when
// they follow the palette directly (icons, packed bitmaps). An icon's bitmap has twice its
// height in the header, for the mask that follows the colour rows; the mask is not read.
// Accepts OS/2 1.x and 2.x headers and the Windows headers of 40 to 124 bytes; depths 1, 2,
// 4, 8, 16, 24 and 32; plain rows, bit fields, RLE4 and RLE8; bottom-up and top-down rows.
// Throws FormatError with formatName ("BMP", "ICO") in the message.
QImage decodeDib(const uchar* dib, qint64 size, qint64 pixelOffset, bool iconBitmap,
                 const char* formatName);

}  // namespace formats
