// WebP files written through libwebp.
#pragma once

#include <QByteArray>
#include <QImage>

namespace formats {

// The quality of the lossy variant.
constexpr int kWebpLossyQuality = 90;

// Encodes a picture (converted with toPicture24() first) as a WebP file: lossless when
// quality is 0 or below, lossy at that quality (1..100) otherwise. Throws FormatError for an
// empty picture, for a side over WebP's 16383 pixels and when libwebp fails.
QByteArray encodeWebp(const QImage& picture, int quality = 0);

}  // namespace formats
