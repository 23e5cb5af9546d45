// Pictures to and from files: the one place that chooses a reader by content and a writer by
// file name. Pictures handed out are always Format_BGR888, the editable picture's raster.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// writeFileAtomically(), which every save goes through.
#include "formats/atomic_write.h"

namespace formats {

// Any picture as Format_BGR888. Alpha is dropped, not blended: each pixel keeps its colour as
// if it were opaque (premultiplied formats are un-premultiplied first), so a fully
// transparent pixel shows the colour it stores, black for the usual transparent black. A null
// picture stays null.
QImage toPicture24(const QImage& picture);

// Decodes a file's bytes by their content: JPEG, BMP, GIF, PNG, TIFF, ICO (and cursors), EPS
// with a binary header, placeable, plain or enhanced metafiles, Photoshop documents, DCX, WebP,
// HEIC/HEIF/AVIF and JPEG XL. Anything else throws
// FormatError saying that nameForMessages is not a picture type Mugwarp can read; reader failures
// throw FormatError with the reader's message. PostScript (an EPS file) is drawn only when
// nameForMessages ends in .eps, .epsf, .epsi or .ps; under any other name only a binary EPS
// file's own preview can show, and otherwise it is refused.
QImage decodePicture(const QByteArray& data, const QString& nameForMessages);

// Reads and decodes a picture file. A missing or unreadable file, one that is not a regular
// file (a folder, a named pipe, a device) and an absurdly large one throw FormatError naming
// the file, before its bytes are held.
QImage readPictureFile(const QString& path);

// Whether encodeForFileName() knows the extension of path (.bmp, .jpg, .jpeg, .gif, .wmf, .png,
// .webp, any case).
bool isWritableFileName(const QString& path);

// The file contents for path by its extension: .bmp a 24-bit BMP, .jpg/.jpeg our JPEG, .gif
// the 216-colour GIF, .wmf a placeable metafile, .png lossless PNG, .webp lossless WebP. Any
// other extension throws FormatError. A webpQuality of 1..100 writes a .webp lossy at that
// quality instead.
QByteArray encodeForFileName(const QImage& picture, const QString& path, int webpQuality = 0);

}  // namespace formats
