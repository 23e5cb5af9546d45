// Alias/Wavefront run-length pictures (.rla, .rpf): grey or RGB channels of 8 or 16 bits, with
// an active window inside the full window; matte and auxiliary channels are skipped.
#pragma once

#include <QByteArray>
#include <QImage>

namespace formats {

// Decodes a whole file into a Format_BGR888 picture; throws FormatError when it cannot.
QImage readAliasWavefront(const QByteArray& data);

}  // namespace formats
