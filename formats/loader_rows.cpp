#include "formats/loader_rows.h"

#include <QFileInfo>

#include "formats/jpeg_codec.h"
#include "formats/picture_type_registry.h"
#include "formats/reader_classes.h"
#include "formats/readers/format_readers.h"

namespace formats {

LoaderRow loaderRowOf(const QString& fileName) {
    const QString key = fileName.right(4).toUpper();
    if (key == ".BMP") {
        return LoaderRow::Bitmap;
    }
    if (key == ".ICO") {
        return LoaderRow::Icon;
    }
    if (key == ".JPG" || key == "JPEG") {
        return LoaderRow::Jpeg;
    }
    if (key == ".GIF") {
        return LoaderRow::Gif;
    }
    if (key == ".WMF" || key == ".EMF") {
        return LoaderRow::Metafile;
    }
    return LoaderRow::Registered;
}

QImage readByLoaderRow(LoaderRow row, const QByteArray& data, const QString& fileName) {
    switch (row) {
        case LoaderRow::Bitmap:
            return readBmp(data);
        case LoaderRow::Icon:
            return readIcon(data);
        case LoaderRow::Jpeg:
            return decodeJpeg(data);
        case LoaderRow::Gif:
            return readGif(data);
        case LoaderRow::Metafile:
            // Producers write enhanced metafiles named .wmf too.
            return readMetafile(data);
        case LoaderRow::Registered:
            break;
    }
    // Every type the open dialog previews can be opened, through its registered reader.
    return pictureTypeRegistry().read(data, QFileInfo(fileName).suffix());
}

}  // namespace formats
