// PCX pictures: 1- and 4-bit planar, 8-bit with the closing 256-colour palette, 24-bit in three
// planes. Multi-page files (.dcx) show their first page.
#pragma once

#include <QByteArray>
#include <QImage>

namespace formats {

// Decodes a whole PCX file, or the first page of a DCX file, into a Format_BGR888 picture; throws
// FormatError when it cannot.
QImage readPcx(const QByteArray& data);

}  // namespace formats
