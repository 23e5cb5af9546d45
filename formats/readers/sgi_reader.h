// SGI pictures (.sgi, .rgb, .rgba, .bw): verbatim or run-length coded, 1 to 4 channels of 8 or 16
// bits.
#pragma once

#include <QByteArray>
#include <QImage>

namespace formats {

// Decodes a whole file into a Format_BGR888 picture; throws FormatError when it cannot.
QImage readSgi(const QByteArray& data);

}  // namespace formats
