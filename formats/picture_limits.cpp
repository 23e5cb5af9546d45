#include "formats/picture_limits.h"

#include <string>

#include "formats/format_error.h"

namespace formats {

void checkPictureSize(qint64 width, qint64 height, const char* formatName) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width < 1 || height < 1) {
        throw FormatError(std::string("Cannot load image. The ") + formatName +
                          " picture has no pixels (" + size + ").");
    }
    if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels) {
        throw FormatError(std::string("The ") + formatName + " picture is too large to edit (" +
                          size +
                          " pixels; Mugwarp edits up to 30000 pixels a side and 120 million "
                          "pixels in all).");
    }
}

}  // namespace formats
