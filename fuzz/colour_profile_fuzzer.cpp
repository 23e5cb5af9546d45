// Fuzz target: any bytes taken as an embedded ICC profile either give a conversion or none;
// converting rows of each input layout with it never reads or writes outside them.
#include <QByteArray>
#include <QImage>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/photo/colour_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray profile =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QImage picture(37, 5, QImage::Format_BGR888);
    picture.fill(Qt::darkCyan);
    formats::convertToSrgb(picture, profile);
    if (picture.width() != 37 || picture.height() != 5) {
        __builtin_trap();
    }
    for (formats::ProfileInput input :
         {formats::ProfileInput::Cmyk, formats::ProfileInput::InvertedCmyk}) {
        const formats::SrgbConversion conversion(profile, input);
        std::vector<uchar> cmyk(4 * 19, 100);
        std::vector<uchar> bgr(3 * 19);
        conversion.convertRow(cmyk.data(), bgr.data(), 19);
    }
    return 0;
}
