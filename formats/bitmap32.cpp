#include "formats/bitmap32.h"

#include "formats/picture_file.h"

namespace formats {
namespace {

QImage as32Bits(const QImage& picture) {
    if (picture.isNull() || picture.format() == QImage::Format_ARGB32) {
        return picture;
    }
    // A picture without alpha becomes opaque; premultiplied colours are un-premultiplied.
    return picture.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

TBitmap32::TBitmap32(int width, int height) : image_(width, height, QImage::Format_ARGB32) {
    image_.fill(0xFF000000u);
}

TBitmap32::TBitmap32(const QImage& picture) : image_(as32Bits(picture)) {}

TBitmap32& TBitmap32::operator=(const QImage& picture) {
    image_ = as32Bits(picture);
    return *this;
}

void TBitmap32::LoadFromFile(const QString& path) {
    image_ = as32Bits(readPictureFile(path));
}

}  // namespace formats
