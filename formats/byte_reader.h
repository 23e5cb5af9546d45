// Bounds-checked reading of a picture file held in memory, and the failure messages the small
// readers share. Every read checks what is left, so a short or lying file ends in a FormatError
// naming the format, never in a read past the end.
#pragma once

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <string>

#include "formats/format_error.h"
#include "formats/picture_limits.h"

namespace formats {

[[noreturn]] inline void throwInvalidFormat(const char* formatName) {
    throw FormatError(std::string("Cannot load image. Invalid or unexpected ") + formatName +
                      " image format.");
}

[[noreturn]] inline void throwTruncated(const char* formatName) {
    throw FormatError(std::string("Stream read error in ") + formatName + " file.");
}

// `what` reads as the start of a sentence: "16-bit colour maps are".
[[noreturn]] inline void throwUnsupported(const char* what, const char* formatName) {
    throw FormatError(std::string("Cannot load image. ") + what + " not supported for " +
                      formatName + " files.");
}

[[noreturn]] inline void throwCompressionError(const char* formatName) {
    throw FormatError(std::string("Cannot load image. Compression error found in ") + formatName +
                      " file.");
}

[[noreturn]] inline void throwInvalidPalette(const char* formatName) {
    throw FormatError(std::string("Cannot load image. Palette in ") + formatName +
                      " file is invalid.");
}

[[noreturn]] inline void throwInvalidColourFormat(const char* formatName) {
    throw FormatError(std::string("Invalid color format in ") + formatName + " file.");
}

// The picture every reader fills: its size is checked against the limits first, and a failed
// allocation becomes a message instead of a null picture.
inline QImage newPicture(qint64 width, qint64 height, const char* formatName) {
    checkPictureSize(width, height, formatName);
    QImage picture(static_cast<int>(width), static_cast<int>(height), QImage::Format_BGR888);
    if (picture.isNull()) {
        throw FormatError(std::string("Not enough memory for the ") + formatName + " picture.");
    }
    return picture;
}

inline void putPixel(QImage& picture, int x, int y, uint8_t red, uint8_t green, uint8_t blue) {
    uchar* at = picture.scanLine(y) + qsizetype{3} * x;
    at[0] = blue;
    at[1] = green;
    at[2] = red;
}

class ByteReader {
public:
    ByteReader(const QByteArray& data, const char* formatName)
        : bytes_(reinterpret_cast<const uint8_t*>(data.constData())),
          size_(data.size()),
          formatName_(formatName) {}

    qint64 size() const { return size_; }
    qint64 position() const { return position_; }
    qint64 remaining() const { return size_ - position_; }
    bool atEnd() const { return position_ >= size_; }
    const char* formatName() const { return formatName_; }

    void seek(qint64 offset) {
        if (offset < 0 || offset > size_) {
            throwTruncated(formatName_);
        }
        position_ = offset;
    }
    void skip(qint64 count) {
        require(count);
        position_ += count;
    }

    // The next `count` bytes, valid as long as the file's data.
    const uint8_t* take(qint64 count) {
        require(count);
        const uint8_t* at = bytes_ + position_;
        position_ += count;
        return at;
    }

    uint8_t u8() { return *take(1); }
    uint16_t le16() {
        const uint8_t* at = take(2);
        return static_cast<uint16_t>(at[0] | (at[1] << 8));
    }
    uint16_t be16() {
        const uint8_t* at = take(2);
        return static_cast<uint16_t>((at[0] << 8) | at[1]);
    }
    uint32_t le32() {
        const uint8_t* at = take(4);
        return uint32_t{at[0]} | (uint32_t{at[1]} << 8) | (uint32_t{at[2]} << 16) |
               (uint32_t{at[3]} << 24);
    }
    uint32_t be32() {
        const uint8_t* at = take(4);
        return (uint32_t{at[0]} << 24) | (uint32_t{at[1]} << 16) | (uint32_t{at[2]} << 8) |
               uint32_t{at[3]};
    }

    // Refuses, before a picture is allocated, a file too short to hold what its header claims.
    void expectAtLeast(qint64 count) const { require(count); }

    // Byte at an absolute offset, for formats that index into the file.
    uint8_t at(qint64 offset) const {
        if (offset < 0 || offset >= size_) {
            throwTruncated(formatName_);
        }
        return bytes_[offset];
    }

private:
    void require(qint64 count) const {
        if (count < 0 || count > size_ - position_) {
            throwTruncated(formatName_);
        }
    }

    const uint8_t* bytes_;
    qint64 size_;
    qint64 position_ = 0;
    const char* formatName_;
};

}  // namespace formats
