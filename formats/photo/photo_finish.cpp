#include "formats/photo/photo_finish.h"

#include "formats/photo/picture_orientation.h"
#include "formats/photo/row_bands.h"

namespace formats {

QImage finishPhotograph(QImage decoded, const SrgbConversion& conversion, int orientation) {
    const bool turns = orientation >= 2 && orientation <= 8;
    if (decoded.isNull() || decoded.format() != QImage::Format_BGR888 ||
        !conversion.convertsPictures()) {
        return orientUpright(std::move(decoded), orientation);
    }
    if (!turns) {
        conversion.convertPicture(decoded);
        return decoded;
    }
    QImage upright = uprightCanvas(decoded, orientation);
    decoded.bits();  // both detached before the threads share them
    upright.bits();
    forEachRowBand(decoded.height(), [&](int first, int last) {
        conversion.convertRows(decoded, first, last);
        placeUpright(decoded, upright, orientation, first, last);
    });
    return upright;
}

}  // namespace formats
