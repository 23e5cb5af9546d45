// Photo-CD files (.pcd): the 768 x 512 base image, converted from YCC to RGB.
#pragma once

#include <QByteArray>
#include <QImage>

namespace formats {

// Decodes a whole file into a Format_BGR888 picture; throws FormatError when it cannot.
QImage readPhotoCd(const QByteArray& data);

}  // namespace formats
