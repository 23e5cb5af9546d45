// How the picture window's loader chooses a reader for a file: by the name's last four
// characters, upper-cased, as the program always has (".BMP" a bitmap, ".ICO" an icon, ".JPG" or
// "JPEG" a JPEG, ".GIF" a GIF, ".WMF" or ".EMF" a metafile of either kind by its content), and
// for every other name the reader registered for its extension.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace formats {

enum class LoaderRow { Bitmap, Icon, Jpeg, Gif, Metafile, Registered };

LoaderRow loaderRowOf(const QString& fileName);

// Decodes `data` (the file's bytes) by its row. Throws FormatError, or whatever the reader throws.
QImage readByLoaderRow(LoaderRow row, const QByteArray& data, const QString& fileName);

}  // namespace formats
