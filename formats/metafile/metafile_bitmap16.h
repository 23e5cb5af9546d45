// The device-dependent bitmap of the older 16-bit blit records: type, width, height, bytes per
// row, planes and bits per pixel, then the rows top first, without a colour table.
#pragma once

#include <QRgb>

#include "formats/metafile/metafile_dib.h"
#include "formats/metafile/metafile_record_data.h"

namespace formats::metafile {

// One-bit bitmaps take the foreground colour for 0 bits and the background colour for 1 bits,
// as a monochrome bitmap blitted to a colour device does; 4-bit ones the 16 standard colours;
// 8-bit ones a grey ramp (no palette comes with them). 16-, 24- and 32-bit pixels are read as
// 5-5-5 and blue-green-red bytes. Throws FormatError for a bitmap it cannot read.
Dib decodeBitmap16(RecordData data, QRgb foreground, QRgb background);

}  // namespace formats::metafile
