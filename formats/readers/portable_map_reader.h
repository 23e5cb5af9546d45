// Portable maps (P1 to P6: .pbm, .pgm, .ppm), plain and raw, any maxval up to 65535.
#pragma once

#include <QByteArray>
#include <QImage>

namespace formats {

// Decodes a whole file into a Format_BGR888 picture; throws FormatError when it cannot.
QImage readPortableMap(const QByteArray& data);

}  // namespace formats
