#include "formats/readers/portable_map_reader.h"
#include "formats/readers/format_readers.h"

#include "formats/byte_reader.h"

namespace formats {
namespace {

const char* const kName = "PNM";

bool isSpace(uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The text parts of the format: numbers between white space and comments, which run from '#'
// to the end of the line.
class TextReader {
public:
    explicit TextReader(ByteReader& in) : in_(in) {}

    void skipSpaceAndComments() {
        while (!in_.atEnd()) {
            const uint8_t c = in_.at(in_.position());
            if (c == '#') {
                while (!in_.atEnd() && in_.u8() != '\n') {
                }
            } else if (isSpace(c)) {
                in_.skip(1);
            } else {
                return;
            }
        }
    }

    unsigned number(unsigned largest) {
        skipSpaceAndComments();
        if (in_.atEnd()) {
            throwTruncated(kName);
        }
        unsigned value = 0;
        bool anyDigit = false;
        while (!in_.atEnd()) {
            const uint8_t c = in_.at(in_.position());
            if (c < '0' || c > '9') {
                break;
            }
            in_.skip(1);
            value = value * 10 + (c - '0');
            anyDigit = true;
            if (value > largest) {
                throwInvalidFormat(kName);
            }
        }
        if (!anyDigit) {
            throwInvalidFormat(kName);
        }
        return value;
    }

    // Plain bitmaps may write their digits with no space between them.
    unsigned bit() {
        skipSpaceAndComments();
        const uint8_t c = in_.u8();
        if (c != '0' && c != '1') {
            throwInvalidFormat(kName);
        }
        return c - '0';
    }

private:
    ByteReader& in_;
};

}  // namespace

QImage readPortableMap(const QByteArray& data) {
    ByteReader in(data, kName);
    if (in.size() < 3 || in.at(0) != 'P' || in.at(1) < '1' || in.at(1) > '6') {
        throwInvalidFormat(kName);
    }
    const int kind = in.at(1) - '0';
    in.skip(2);
    TextReader text(in);
    const unsigned width = text.number(100000);
    const unsigned height = text.number(100000);
    const bool bitmap = kind == 1 || kind == 4;
    const unsigned maxval = bitmap ? 1 : text.number(65535);
    if (maxval == 0) {
        throwInvalidFormat(kName);
    }
    checkPictureSize(width, height, kName);
    const bool raw = kind >= 4;
    const int channels = (kind == 3 || kind == 6) ? 3 : 1;
    const int sampleBytes = maxval > 255 ? 2 : 1;
    if (raw) {
        // Exactly one white-space character separates the header from the samples.
        if (in.atEnd() || !isSpace(in.u8())) {
            throwInvalidFormat(kName);
        }
        const qint64 rowBytes = bitmap ? (width + 7) / 8 : qint64{width} * channels * sampleBytes;
        in.expectAtLeast(rowBytes * height);
    } else {
        // Every plain sample takes at least one character.
        in.expectAtLeast(qint64{width} * height * channels);
    }
    QImage picture = newPicture(width, height, kName);

    auto sample = [&]() -> uint8_t {
        const unsigned value = raw ? (sampleBytes == 2 ? in.be16() : in.u8()) : text.number(65535);
        if (value > maxval) {
            throwInvalidFormat(kName);
        }
        return static_cast<uint8_t>((value * 255u + maxval / 2) / maxval);
    };
    for (int y = 0; y < static_cast<int>(height); ++y) {
        uchar* line = picture.scanLine(y);
        for (int x = 0; x < static_cast<int>(width); ++x) {
            uint8_t red;
            uint8_t green;
            uint8_t blue;
            if (bitmap) {
                // 1 is black. Raw rows start on a byte.
                unsigned bit;
                if (raw) {
                    bit = (in.at(in.position() + x / 8) >> (7 - x % 8)) & 1;
                } else {
                    bit = text.bit();
                }
                red = green = blue = bit ? 0 : 255;
            } else if (channels == 1) {
                red = green = blue = sample();
            } else {
                red = sample();
                green = sample();
                blue = sample();
            }
            line[3 * x] = blue;
            line[3 * x + 1] = green;
            line[3 * x + 2] = red;
        }
        if (bitmap && raw) {
            in.skip((width + 7) / 8);
        }
    }
    return picture;
}

}  // namespace formats
