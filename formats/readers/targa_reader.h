// Truevision Targa pictures (.tga): colour-mapped, true-colour and grey, plain or run-length coded.
#pragma once

#include <QByteArray>
#include <QImage>

namespace formats {

// Decodes a whole file into a Format_BGR888 picture; throws FormatError when it cannot.
QImage readTarga(const QByteArray& data);

}  // namespace formats
