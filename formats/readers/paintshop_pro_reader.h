// Paintshop Pro pictures (.psp): the composite image, from its zlib-compressed channels.
#pragma once

#include <QByteArray>
#include <QImage>

namespace formats {

// Decodes a whole file into a Format_BGR888 picture; throws FormatError when it cannot.
QImage readPaintShopPro(const QByteArray& data);

}  // namespace formats
