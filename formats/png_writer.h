// Writing a picture as PNG: lossless, 24 bits.
#pragma once

#include <QByteArray>
#include <QImage>

namespace formats {

// The picture as an 8-bit RGB PNG file. Throws FormatError for an empty picture or when the
// encoder fails.
QByteArray encodePng(const QImage& picture);

}  // namespace formats
