// Device-independent bitmaps as metafiles carry them: a BITMAPINFO (header and colour table)
// followed by the pixel rows, without the file header of a BMP file.
#pragma once

#include <QImage>

#include "formats/metafile/metafile_record_data.h"

namespace formats::metafile {

struct Dib {
    QImage image;          // top row first
    bool bottomUp = true;  // the file's rows run bottom-up, so source rows count from the bottom
};

// Decodes the bitmap info at `info` and the pixel rows at `bits` (both bounded views into the
// record). Throws FormatError naming the metafile's format.
Dib decodeDib(const RecordData& info, const RecordData& bits);

// The same for a bitmap info directly followed by its rows, as in WMF records.
Dib decodePackedDib(const RecordData& packed);

}  // namespace formats::metafile
