// Photoshop pictures (.psd) and large documents (.psb): the merged image, raw or PackBits, in
// RGB, grey, indexed or CMYK.
#pragma once

#include <QByteArray>
#include <QImage>

namespace formats {

// Decodes a whole file into a Format_BGR888 picture; throws FormatError when it cannot.
QImage readPhotoshop(const QByteArray& data);

}  // namespace formats
