// TBitmap32: a bitmap that is always 32 bits per pixel (Format_ARGB32: blue, green, red and
// alpha bytes on a little-endian machine), whatever it was made from.
#pragma once

#include <QImage>
#include <QString>

namespace formats {

class TBitmap32 {
public:
    TBitmap32() = default;             // empty, 0 x 0
    TBitmap32(int width, int height);  // opaque black
    explicit TBitmap32(const QImage& picture);

    // Takes the picture's pixels and size; the result is Format_ARGB32.
    TBitmap32& operator=(const QImage& picture);
    void Assign(const QImage& picture) { *this = picture; }
    // Reads a picture file by content (readPictureFile). Throws FormatError and leaves the
    // bitmap as it was on failure.
    void LoadFromFile(const QString& path);

    int width() const { return image_.width(); }
    int height() const { return image_.height(); }
    bool isEmpty() const { return image_.isNull(); }
    uchar* scanLine(int y) { return image_.scanLine(y); }
    const uchar* scanLine(int y) const { return image_.constScanLine(y); }
    const QImage& image() const { return image_; }

private:
    QImage image_;
};

}  // namespace formats
