#include "formats/dib_decoder.h"

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/format_error.h"
#include "formats/picture_limits.h"

namespace formats {
namespace {

constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kOs2HeaderSize = 64;
constexpr uint32_t kLargestHeaderSize = 124;

constexpr uint32_t kRgb = 0;
constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kBitFields = 3;
constexpr uint32_t kJpeg = 4;
constexpr uint32_t kPng = 5;
constexpr uint32_t kAlphaBitFields = 6;

uint32_t little16(const uchar* at) {
    return at[0] | (uint32_t{at[1]} << 8);
}
uint32_t little32(const uchar* at) {
    return little16(at) | (little16(at + 2) << 16);
}

struct Rgb {
    uint8_t red = 0, green = 0, blue = 0;
};

// One channel of a bit-field pixel, scaled to 0..255.
class Channel {
public:
    explicit Channel(uint32_t mask) : mask_(mask) {
        if (mask == 0) {
            return;
        }
        shift_ = std::countr_zero(mask);
        bits_ = 32 - std::countl_zero(mask >> shift_);
        max_ = bits_ >= 32 ? UINT32_MAX : (uint32_t{1} << bits_) - 1;
    }
    uint8_t operator()(uint32_t pixel) const {
        if (mask_ == 0) {
            return 0;
        }
        const uint32_t value = (pixel & mask_) >> shift_;
        if (bits_ >= 8) {
            return static_cast<uint8_t>(value >> (bits_ - 8));
        }
        return static_cast<uint8_t>((value * 255 + max_ / 2) / max_);
    }

private:
    uint32_t mask_;
    int shift_ = 0;
    int bits_ = 0;
    uint32_t max_ = 1;
};

class DibDecoder {
public:
    DibDecoder(const uchar* dib, qint64 size, const char* formatName)
        : dib_(dib), size_(size), formatName_(formatName) {}

    QImage decode(qint64 pixelOffset, bool iconBitmap);

private:
    [[noreturn]] void invalid() const {
        throw FormatError(std::string("Cannot load image. Invalid or unexpected ") + formatName_ +
                          " image format.");
    }
    [[noreturn]] void truncated() const {
        throw FormatError(std::string("Stream read error in ") + formatName_ + " file.");
    }
    [[noreturn]] void unsupported(const char* what) const {
        throw FormatError(std::string("Cannot load image. ") + what + " not supported for " +
                          formatName_ + " files.");
    }
    void need(qint64 offset, qint64 count) const {
        if (offset < 0 || count < 0 || offset > size_ || count > size_ - offset) {
            truncated();
        }
    }

    void readHeader(bool iconBitmap);
    void readPalette(qint64 position, qint64 pixelOffset);
    void decodeRows(QImage& picture, qint64 pixelOffset) const;
    void decodeRle(QImage& picture, qint64 pixelOffset) const;
    Rgb paletteColour(uint32_t index) const {
        return index < palette_.size() ? palette_[index] : Rgb{};
    }
    void put(QImage& picture, qint64 x, qint64 fileRow, Rgb colour) const {
        const qint64 y = topDown_ ? fileRow : height_ - 1 - fileRow;
        uchar* at = picture.scanLine(static_cast<int>(y)) + 3 * x;
        at[0] = colour.blue;
        at[1] = colour.green;
        at[2] = colour.red;
    }

    const uchar* dib_;
    qint64 size_;
    const char* formatName_;

    uint32_t headerSize_ = 0;
    qint64 width_ = 0;
    qint64 height_ = 0;
    bool topDown_ = false;
    uint32_t bitsPerPixel_ = 0;
    uint32_t compression_ = kRgb;
    uint32_t coloursUsed_ = 0;
    uint32_t masks_[3] = {0, 0, 0};
    qint64 masksAfterHeader_ = 0;  // bytes of masks stored between header and palette
    std::vector<Rgb> palette_;
};

void DibDecoder::readHeader(bool iconBitmap) {
    need(0, 4);
    headerSize_ = little32(dib_);
    if (headerSize_ == kCoreHeaderSize) {
        need(0, kCoreHeaderSize);
        width_ = little16(dib_ + 4);
        height_ = little16(dib_ + 6);
        bitsPerPixel_ = little16(dib_ + 10);
    } else if (headerSize_ == 16 || headerSize_ == kInfoHeaderSize || headerSize_ == 52 ||
               headerSize_ == 56 || headerSize_ == kOs2HeaderSize || headerSize_ == 108 ||
               headerSize_ == kLargestHeaderSize) {
        need(0, headerSize_);
        width_ = static_cast<int32_t>(little32(dib_ + 4));
        height_ = static_cast<int32_t>(little32(dib_ + 8));
        bitsPerPixel_ = little16(dib_ + 14);
        compression_ = headerSize_ >= 20 ? little32(dib_ + 16) : kRgb;
        coloursUsed_ = headerSize_ >= 36 ? little32(dib_ + 32) : 0;
    } else {
        invalid();
    }
    if (height_ < 0) {
        height_ = -height_;
        topDown_ = true;
    }
    if (iconBitmap) {
        height_ /= 2;  // the colour rows, then as many mask rows
    }
    const bool os2 = headerSize_ == 16;
    if ((os2 || headerSize_ == kOs2HeaderSize) && compression_ == kBitFields) {
        unsupported("Huffman 1D compression is");
    }
    if ((os2 || headerSize_ == kOs2HeaderSize) && compression_ == kJpeg) {
        unsupported("RLE24 compression is");
    }
    if (compression_ == kJpeg || compression_ == kPng) {
        unsupported("Embedded JPEG and PNG data are");
    }
    const uint32_t depth = bitsPerPixel_;
    const bool plainDepth = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16 ||
                            depth == 24 || depth == 32;
    if (!plainDepth) {
        throw FormatError(std::string("Invalid color format in ") + formatName_ + " file.");
    }
    switch (compression_) {
        case kRgb:
            break;
        case kRle8:
            if (depth != 8) {
                invalid();
            }
            break;
        case kRle4:
            if (depth != 4) {
                invalid();
            }
            break;
        case kBitFields:
        case kAlphaBitFields:
            if (depth != 16 && depth != 32) {
                invalid();
            }
            if (headerSize_ >= 52) {
                for (int i = 0; i < 3; ++i) {
                    masks_[i] = little32(dib_ + 40 + 4 * i);
                }
            } else {
                masksAfterHeader_ = compression_ == kAlphaBitFields ? 16 : 12;
                need(headerSize_, masksAfterHeader_);
                for (int i = 0; i < 3; ++i) {
                    masks_[i] = little32(dib_ + headerSize_ + 4 * i);
                }
            }
            break;
        default:
            unsupported("This compression scheme is");
    }
    if (compression_ == kRgb && depth == 16) {
        masks_[0] = 0x7C00;
        masks_[1] = 0x03E0;
        masks_[2] = 0x001F;
    } else if (compression_ == kRgb && depth == 32) {
        masks_[0] = 0xFF0000;
        masks_[1] = 0x00FF00;
        masks_[2] = 0x0000FF;
    }
    checkPictureSize(width_, height_, formatName_);
}

void DibDecoder::readPalette(qint64 position, qint64 pixelOffset) {
    if (bitsPerPixel_ > 8) {
        return;
    }
    const qint64 entrySize = headerSize_ == kCoreHeaderSize ? 3 : 4;
    const qint64 fullSize = qint64{1} << bitsPerPixel_;
    qint64 count = coloursUsed_ == 0 || coloursUsed_ > fullSize ? fullSize : coloursUsed_;
    if (pixelOffset >= 0 && position + count * entrySize > pixelOffset) {
        // Some writers state more colours than they store before the rows.
        count = std::max<qint64>(0, (pixelOffset - position) / entrySize);
    }
    need(position, count * entrySize);
    palette_.resize(static_cast<size_t>(count));
    for (qint64 i = 0; i < count; ++i) {
        const uchar* entry = dib_ + position + i * entrySize;
        palette_[static_cast<size_t>(i)] = Rgb{entry[2], entry[1], entry[0]};
    }
}

void DibDecoder::decodeRows(QImage& picture, qint64 pixelOffset) const {
    const qint64 rowBytes = (width_ * bitsPerPixel_ + 31) / 32 * 4;
    need(pixelOffset, rowBytes * height_);
    const Channel red(masks_[0]);
    const Channel green(masks_[1]);
    const Channel blue(masks_[2]);
    const uint32_t depth = bitsPerPixel_;
    for (qint64 row = 0; row < height_; ++row) {
        const uchar* bytes = dib_ + pixelOffset + row * rowBytes;
        for (qint64 x = 0; x < width_; ++x) {
            Rgb colour;
            if (depth <= 8) {
                const qint64 bit = x * depth;
                const uint32_t shift = 8 - depth - static_cast<uint32_t>(bit % 8);
                colour = paletteColour((bytes[bit / 8] >> shift) & ((1u << depth) - 1));
            } else if (depth == 24) {
                const uchar* at = bytes + 3 * x;
                colour = Rgb{at[2], at[1], at[0]};
            } else {
                const uint32_t pixel =
                    depth == 16 ? little16(bytes + 2 * x) : little32(bytes + 4 * x);
                colour = Rgb{red(pixel), green(pixel), blue(pixel)};
            }
            put(picture, x, row, colour);
        }
    }
}

void DibDecoder::decodeRle(QImage& picture, qint64 pixelOffset) const {
    const bool four = compression_ == kRle4;
    qint64 at = pixelOffset;
    qint64 x = 0;
    qint64 row = 0;  // in file order: bottom-up unless the header said otherwise
    auto putIndex = [&](uint32_t index) {
        if (x < width_ && row < height_) {
            put(picture, x, row, paletteColour(index));
        }
        ++x;
    };
    while (row < height_) {
        if (at + 2 > size_) {
            truncated();
        }
        const uint32_t count = dib_[at];
        const uint32_t value = dib_[at + 1];
        at += 2;
        if (count > 0) {
            for (uint32_t i = 0; i < count && x < width_; ++i) {
                putIndex(four ? (i % 2 == 0 ? value >> 4 : value & 15) : value);
            }
        } else if (value == 0) {  // end of line
            x = 0;
            ++row;
        } else if (value == 1) {  // end of bitmap
            return;
        } else if (value == 2) {  // delta
            need(at, 2);
            x += dib_[at];
            row += dib_[at + 1];
            at += 2;
        } else {  // absolute run of `value` pixels, padded to a 16-bit boundary
            const qint64 bytes = four ? (value + 1) / 2 : value;
            need(at, bytes);
            for (uint32_t i = 0; i < value; ++i) {
                const uint32_t byte = dib_[at + (four ? i / 2 : i)];
                putIndex(four ? (i % 2 == 0 ? byte >> 4 : byte & 15) : byte);
            }
            at += bytes + (bytes % 2);
        }
    }
}

QImage DibDecoder::decode(qint64 pixelOffset, bool iconBitmap) {
    readHeader(iconBitmap);
    const qint64 palettePosition = qint64{headerSize_} + masksAfterHeader_;
    if (pixelOffset >= 0 && pixelOffset < palettePosition) {
        invalid();
    }
    readPalette(palettePosition, pixelOffset);
    if (pixelOffset < 0) {
        pixelOffset = palettePosition + static_cast<qint64>(palette_.size()) *
                                            (headerSize_ == kCoreHeaderSize ? 3 : 4);
    }
    QImage picture(static_cast<int>(width_), static_cast<int>(height_), QImage::Format_BGR888);
    if (picture.isNull()) {
        throw FormatError(std::string("Not enough memory for the ") + formatName_ + " picture.");
    }
    if (compression_ == kRle4 || compression_ == kRle8) {
        picture.fill(Qt::black);  // pixels that the runs skip
        decodeRle(picture, pixelOffset);
    } else {
        decodeRows(picture, pixelOffset);
    }
    return picture;
}

}  // namespace

QImage decodeDib(const uchar* dib, qint64 size, qint64 pixelOffset, bool iconBitmap,
                 const char* formatName) {
    return DibDecoder(dib, size, formatName).decode(pixelOffset, iconBitmap);
}

}  // namespace formats
