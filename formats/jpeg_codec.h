// JPEG through libjpeg directly, because the frame files, saved pictures and the mail
// attachment need encoder settings that Qt's JPEG plugin cannot give.
#pragma once

#include <QByteArray>
#include <QImage>

namespace formats {

// Encodes a picture (converted with toPicture24() first when it is not Format_BGR888) as a
// baseline JFIF file: quality 90, three YCbCr components with luminance sampled 2x2 against
// 1x1 for both chroma components, libjpeg's standard Huffman tables, floating-point DCT.
// Throws FormatError for an empty picture or when libjpeg fails.
QByteArray encodeJpeg(const QImage& picture);

// Decodes a JPEG file (baseline or progressive; greyscale, YCbCr, RGB, CMYK or YCCK) into a
// Format_BGR888 picture. Throws FormatError for anything libjpeg rejects, for pictures beyond
// the size limit, and for files whose compressed data is cut short or damaged: libjpeg would
// fill the missing part with grey and the rest of the program would take it for the photo.
// The picture comes out upright by its EXIF orientation and in sRGB by its embedded profile
// (CMYK through a CMYK profile when it has one); a bad EXIF block or profile is ignored.
QImage decodeJpeg(const QByteArray& data);

}  // namespace formats
