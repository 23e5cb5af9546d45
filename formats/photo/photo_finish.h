// The last step of reading a photograph: its colours converted to sRGB and the picture turned
// upright, both in one pass over each band of rows while the band is in the cache.
#pragma once

#include <QImage>

#include "formats/photo/colour_profile.h"

namespace formats {

// A decoded Format_BGR888 picture converted by `conversion` (when it convertsPictures()) and
// turned upright by `orientation` (see orientUpright()). Throws FormatError when memory for
// the turned copy cannot be had.
QImage finishPhotograph(QImage decoded, const SrgbConversion& conversion, int orientation);

}  // namespace formats
