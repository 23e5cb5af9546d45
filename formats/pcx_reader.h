// PCX pictures: 1- and 4-bit planar, 8-bit with the closing 256-colour palette, 24-bit in three
// planes.
#pragma once

#include <QByteArray>
#include <QImage>

namespace formats {

// Decodes a whole file into a Format_BGR888 picture; throws FormatError when it cannot.
QImage readPcx(const QByteArray& data);

}  // namespace formats
