#include "formats/readers/sgi_reader.h"
#include "formats/readers/format_readers.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "formats/byte_reader.h"

namespace formats {
namespace {

const char* const kName = "SGI";
constexpr int kHeaderSize = 512;

// One run-length coded row of one channel into `samples` (8 bits each; of 16-bit samples the
// high byte). Counts are in samples; a zero count ends the row.
void decodeRunLengthRow(ByteReader& row, int sampleBytes, std::vector<uint8_t>& samples) {
    auto next = [&]() -> unsigned { return sampleBytes == 2 ? row.be16() : row.u8(); };
    size_t filled = 0;
    while (true) {
        const unsigned code = next();
        const size_t count = code & 0x7f;
        if (count == 0) {
            break;
        }
        if (count > samples.size() - filled) {
            throwCompressionError(kName);
        }
        if (code & 0x80) {
            for (size_t i = 0; i < count; ++i) {
                samples[filled++] = static_cast<uint8_t>(next() >> (8 * (sampleBytes - 1)));
            }
        } else {
            const auto value = static_cast<uint8_t>(next() >> (8 * (sampleBytes - 1)));
            std::fill_n(samples.begin() + static_cast<std::ptrdiff_t>(filled), count, value);
            filled += count;
        }
    }
    if (filled != samples.size()) {
        throwCompressionError(kName);
    }
}

}  // namespace

QImage readSgi(const QByteArray& data) {
    ByteReader in(data, kName);
    if (in.size() < kHeaderSize || in.be16() != 474) {
        throwInvalidFormat(kName);
    }
    const int storage = in.u8();
    const int sampleBytes = in.u8();
    const int dimension = in.be16();
    const int width = in.be16();
    const int height = dimension == 1 ? 1 : in.be16();
    in.seek(10);
    const int channels = dimension < 3 ? 1 : in.be16();
    if (storage > 1 || dimension < 1 || dimension > 3) {
        throwInvalidFormat(kName);
    }
    if ((sampleBytes != 1 && sampleBytes != 2) || channels < 1) {
        throwInvalidColourFormat(kName);
    }
    checkPictureSize(width, height, kName);
    // Grey with alpha shows its grey; alpha and further channels are not shown.
    const int used = channels >= 3 ? 3 : 1;

    // offsets[channel * height + row] and lengths likewise, from the run-length tables.
    std::vector<uint32_t> offsets;
    std::vector<uint32_t> lengths;
    const qint64 rowBytes = qint64{width} * sampleBytes;
    if (storage == 0) {
        in.expectAtLeast(kHeaderSize - in.position() + rowBytes * height * used);
    } else {
        const qint64 rows = qint64{height} * channels;
        in.seek(kHeaderSize);
        in.expectAtLeast(rows * 8);
        offsets.resize(static_cast<size_t>(rows));
        lengths.resize(static_cast<size_t>(rows));
        for (uint32_t& offset : offsets) {
            offset = in.be32();
        }
        // Each run codes at most 127 samples in two, so no real row is shorter than this.
        const qint64 shortest = (width + 126) / 127 * sampleBytes;
        for (size_t i = 0; i < lengths.size(); ++i) {
            lengths[i] = in.be32();
            if (offsets[i] > in.size() || lengths[i] > in.size() - offsets[i] ||
                lengths[i] < shortest) {
                throwTruncated(kName);
            }
        }
    }
    QImage picture = newPicture(width, height, kName);

    std::vector<uint8_t> samples(static_cast<size_t>(width));
    for (int channel = 0; channel < used; ++channel) {
        for (int row = 0; row < height; ++row) {
            if (storage == 0) {
                in.seek(kHeaderSize + (qint64{channel} * height + row) * rowBytes);
                const uint8_t* at = in.take(rowBytes);
                for (int x = 0; x < width; ++x) {
                    samples[static_cast<size_t>(x)] = at[qsizetype{x} * sampleBytes];
                }
            } else {
                const size_t index = static_cast<size_t>(channel) * height + row;
                ByteReader rowData(
                    QByteArray::fromRawData(data.constData() + offsets[index], lengths[index]),
                    kName);
                decodeRunLengthRow(rowData, sampleBytes, samples);
            }
            // Rows are stored from the bottom up; grey goes into all three colours.
            uchar* line = picture.scanLine(height - 1 - row);
            for (int x = 0; x < width; ++x) {
                uchar* pixel = line + qsizetype{3} * x;
                const uint8_t value = samples[static_cast<size_t>(x)];
                if (channels < 3) {
                    pixel[0] = pixel[1] = pixel[2] = value;
                } else {
                    pixel[2 - channel] = value;
                }
            }
        }
    }
    return picture;
}

}  // namespace formats
