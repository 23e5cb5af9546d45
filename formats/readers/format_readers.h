// Every picture reader behind the picture-type registry. Each one decodes a whole file held in
// memory into a Format_BGR888 picture (converted to 24 bits on load), checks the header against
// checkPictureSize() before allocating, bounds-checks every read and throws FormatError with a
// one-line message when the file cannot be decoded.
#pragma once

#include <QByteArray>
#include <QImage>

namespace formats {

using PictureReader = QImage (*)(const QByteArray&);

// Platform types and codecs (JPEG is decodeJpeg() of jpeg_codec.h).
QImage readBmp(const QByteArray& data);
QImage readIcon(const QByteArray& data);
QImage readGif(const QByteArray& data);
QImage readWindowsMetafile(const QByteArray& data);
QImage readEnhancedMetafile(const QByteArray& data);

// Library-backed readers.
QImage readPng(const QByteArray& data);
QImage readTiff(const QByteArray& data);
QImage readEps(const QByteArray& data);

// Small readers of our own.
QImage readTarga(const QByteArray& data);
QImage readPcx(const QByteArray& data);
QImage readSgi(const QByteArray& data);
QImage readPhotoshop(const QByteArray& data);
QImage readPortableMap(const QByteArray& data);
QImage readAutodesk(const QByteArray& data);
QImage readPhotoCd(const QByteArray& data);
QImage readDrHalo(const QByteArray& data);
QImage readPaintShopPro(const QByteArray& data);
QImage readAliasWavefront(const QByteArray& data);

// The photograph formats of today, beyond the format list: each applies the orientation and
// converts the colour profile its file carries (formats/photo/).
QImage readWebp(const QByteArray& data);    // lossy, lossless, alpha; an animation's first frame
QImage readHeif(const QByteArray& data);    // HEIC, HEIF and AVIF: the primary image
QImage readJpegXl(const QByteArray& data);  // JPEG XL codestream or container

}  // namespace formats
