#include "formats/readers/alias_wavefront_reader.h"

#include <vector>

#include "formats/byte_reader.h"
#include "formats/readers/format_readers.h"

// A run-length picture file starts with a 740-byte big-endian header:
//     0  full window: left, right, bottom, top (signed 16-bit, y grows upwards)
//     8  active window: left, right, bottom, top
//    16  frame, storage type, colour channels, matte channels, auxiliary channels, revision
//    28  gamma (16 characters), red, green, blue and white chromaticities (24 each)
//   140  job number (32-bit), then name (128), description (128), program (64), machine (32),
//        user (32), date (20), aspect (24), aspect ratio (8), channel kind ("rgb", 32)
//   612  field (16-bit), time (12), filter (32)
//   658  bits per colour channel, matte type, matte bits, auxiliary type, auxiliary bits
//   668  auxiliary data (32), reserved (36), offset of the next picture (32-bit)
// Then one 32-bit file offset per row of the active window, the bottom row first. At each
// offset come the row's colour channels, then its matte and auxiliary channels: each is a 16-bit
// byte count and that many bytes of runs. A run starts with a signed count byte: -n is followed
// by n literal bytes, n >= 0 by one byte that repeats n + 1 times. Channels of 9 to 16 bits
// decode to two planes, the row's high bytes and then its low bytes.
//
// The picture takes the full window; what lies outside the active window stays black, and
// active rows or columns outside the full window are dropped.

namespace formats {
namespace {

const char* const kName = "RLA";
constexpr qint64 kHeaderBytes = 740;

int signed16(ByteReader& in) {
    return static_cast<int16_t>(in.be16());
}

struct Window {
    int left = 0;
    int right = 0;
    int bottom = 0;
    int top = 0;

    qint64 width() const { return qint64{right} - left + 1; }
    qint64 height() const { return qint64{top} - bottom + 1; }
};

Window readWindow(ByteReader& in) {
    Window window;
    window.left = signed16(in);
    window.right = signed16(in);
    window.bottom = signed16(in);
    window.top = signed16(in);
    if (window.width() <= 0 || window.height() <= 0) {
        throwInvalidFormat(kName);
    }
    return window;
}

// Expands the runs of `count` bytes at the reader's position until `out` is full.
void unpackRuns(ByteReader& in, qint64 count, std::vector<uint8_t>& out) {
    const uint8_t* runs = in.take(count);
    qint64 read = 0;
    size_t written = 0;
    while (written < out.size()) {
        if (read >= count) {
            throwCompressionError(kName);
        }
        const int code = static_cast<int8_t>(runs[read++]);
        if (code < 0) {
            const size_t length = static_cast<size_t>(-code);
            if (length > out.size() - written || qint64(length) > count - read) {
                throwCompressionError(kName);
            }
            for (size_t i = 0; i < length; ++i) {
                out[written++] = runs[read++];
            }
        } else {
            const size_t length = static_cast<size_t>(code) + 1;
            if (length > out.size() - written || read >= count) {
                throwCompressionError(kName);
            }
            const uint8_t value = runs[read++];
            for (size_t i = 0; i < length; ++i) {
                out[written++] = value;
            }
        }
    }
}

}  // namespace

QImage readAliasWavefront(const QByteArray& data) {
    ByteReader in(data, kName);
    if (in.size() < kHeaderBytes) {
        throwInvalidFormat(kName);
    }
    const Window full = readWindow(in);
    const Window active = readWindow(in);
    in.skip(4);  // frame, storage type
    const int channels = signed16(in);
    const int mattes = signed16(in);
    const int auxiliaries = signed16(in);
    in.seek(658);
    const int bits = signed16(in);
    if (mattes < 0 || auxiliaries < 0 || (channels != 1 && channels != 3)) {
        throwInvalidColourFormat(kName);
    }
    if (bits < 1 || bits > 16) {
        throwUnsupported("Channels of more than 16 bits or of floating-point numbers are", kName);
    }
    checkPictureSize(full.width(), full.height(), kName);
    checkPictureSize(active.width(), active.height(), kName);
    const int activeWidth = static_cast<int>(active.width());
    const int activeHeight = static_cast<int>(active.height());
    const int sampleBytes = bits > 8 ? 2 : 1;
    const unsigned maxValue = (1u << bits) - 1;

    // Every active row needs its offset and, for each colour channel, a byte count and a run.
    in.seek(kHeaderBytes);
    in.expectAtLeast(qint64{activeHeight} * (4 + qint64{channels} * 4));
    std::vector<uint32_t> offsets(static_cast<size_t>(activeHeight));
    for (uint32_t& offset : offsets) {
        offset = in.be32();
        if (offset < kHeaderBytes || offset >= in.size()) {
            throw FormatError(
                "Cannot load image. A row offset in the RLA file lies outside "
                "the file.");
        }
    }

    QImage picture = newPicture(full.width(), full.height(), kName);
    picture.fill(Qt::black);

    std::vector<std::vector<uint8_t>> planes(
        static_cast<size_t>(channels),
        std::vector<uint8_t>(static_cast<size_t>(activeWidth) * sampleBytes));
    for (int row = 0; row < activeHeight; ++row) {
        in.seek(offsets[static_cast<size_t>(row)]);
        for (std::vector<uint8_t>& plane : planes) {
            const int count = in.be16();
            unpackRuns(in, count, plane);
        }
        const qint64 y = qint64{full.top} - (qint64{active.bottom} + row);
        if (y < 0 || y >= full.height()) {
            continue;
        }
        uchar* line = picture.scanLine(static_cast<int>(y));
        for (int x = 0; x < activeWidth; ++x) {
            const qint64 column = qint64{active.left} + x - full.left;
            if (column < 0 || column >= full.width()) {
                continue;
            }
            uint8_t value[3];
            for (int c = 0; c < channels; ++c) {
                const std::vector<uint8_t>& plane = planes[static_cast<size_t>(c)];
                unsigned sample = plane[static_cast<size_t>(x)];
                if (sampleBytes == 2) {
                    sample = (sample << 8) | plane[static_cast<size_t>(activeWidth + x)];
                }
                if (sample > maxValue) {
                    sample = maxValue;
                }
                value[c] = static_cast<uint8_t>((sample * 255u + maxValue / 2) / maxValue);
            }
            if (channels == 1) {
                value[1] = value[2] = value[0];
            }
            uchar* out = line + column * 3;
            out[0] = value[2];
            out[1] = value[1];
            out[2] = value[0];
        }
    }
    return picture;
}

}  // namespace formats
