// Alias/Wavefront run-length pictures (.pix): 24-bit colour or 8-bit grey.
#pragma once

#include <QByteArray>
#include <QImage>

namespace formats {

// Decodes a whole file into a Format_BGR888 picture; throws FormatError when it cannot.
QImage readAliasWavefront(const QByteArray& data);

}  // namespace formats
