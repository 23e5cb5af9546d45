// Dr. Halo pictures (.cut): run-length coded 8-bit indices with an optional palette.
#pragma once

#include <QByteArray>
#include <QImage>

namespace formats {

// Decodes a whole file into a Format_BGR888 picture; throws FormatError when it cannot.
QImage readDrHalo(const QByteArray& data);

}  // namespace formats
