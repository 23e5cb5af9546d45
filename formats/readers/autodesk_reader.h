// Autodesk animator pictures (.cel, .pic): 8-bit indexed with a 6-bit palette.
#pragma once

#include <QByteArray>
#include <QImage>

namespace formats {

// Decodes a whole file into a Format_BGR888 picture; throws FormatError when it cannot.
QImage readAutodesk(const QByteArray& data);

}  // namespace formats
