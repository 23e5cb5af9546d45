// The metafile variant of Save: a placeable Windows metafile holding the picture as one
// device-independent bitmap record drawn at (0, 0) at its own size.
#pragma once

#include <QByteArray>
#include <QImage>

namespace formats {

// Placeable header (bounding box in pixels at 96 per inch), the metafile header, window
// origin and extent records, one META_STRETCHDIB record with a 24-bit bottom-up bitmap
// (copy, source to destination), and the end record. Throws FormatError for an empty
// picture or one beyond the 32767 pixels a metafile coordinate can hold.
QByteArray encodeWmf(const QImage& picture);

}  // namespace formats
