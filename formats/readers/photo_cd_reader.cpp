#include "formats/readers/photo_cd_reader.h"
#include "formats/readers/format_readers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "formats/byte_reader.h"

// The base image, 768 x 512, starts at byte 0x30000. It is stored in pairs of rows: two rows
// of luma, then one row each of the two chroma values at half the width, so chroma has one
// sample for every 2 x 2 pixels. Chroma is brought up to full size by linear interpolation
// between neighbouring samples (weights 3/4 and 1/4, as for a sample centred between two
// pixels), then each pixel goes from Photo YCC to RGB.

namespace formats {
namespace {

const char* const kName = "PCD";
constexpr qint64 kBaseOffset = 0x30000;
constexpr int kWidth = 768;
constexpr int kHeight = 512;

// Photo YCC to RGB: luma is stored scaled by 1/1.3584 so that highlights above white fit; we
// keep that scale, which maps stored white to 255 and clips only the brightest highlights, and
// divide the chroma weights (1.8215, 0.4302726, 0.9271435, 2.2179) by the same factor.
// Chroma is stored with an offset of 156 for C1 and 137 for C2.
constexpr double kRedFromC2 = 1.8215 / 1.3584;
constexpr double kGreenFromC1 = 0.4302726 / 1.3584;
constexpr double kGreenFromC2 = 0.9271435 / 1.3584;
constexpr double kBlueFromC1 = 2.2179 / 1.3584;

uint8_t clamp(double value) {
    return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

// Interpolated chroma at full-size position `x` from a row of half-size samples.
double upsample(const uint8_t* half, int count, int x) {
    const int i = x / 2;
    const int neighbour = std::clamp(x % 2 == 0 ? i - 1 : i + 1, 0, count - 1);
    return 0.75 * half[i] + 0.25 * half[neighbour];
}

}  // namespace

QImage readPhotoCd(const QByteArray& data) {
    ByteReader in(data, kName);
    if (in.size() < 0x800 + 7 || std::memcmp(data.constData() + 0x800, "PCD_IPI", 7) != 0) {
        throwInvalidFormat(kName);
    }
    constexpr qint64 pairBytes = qint64{kWidth} * 3;
    in.seek(std::min(kBaseOffset, in.size()));
    in.expectAtLeast(pairBytes * (kHeight / 2));
    QImage picture = newPicture(kWidth, kHeight, kName);

    const uint8_t* base = in.take(pairBytes * (kHeight / 2));
    constexpr int half = kWidth / 2;
    for (int y = 0; y < kHeight; ++y) {
        const int pair = y / 2;
        const uint8_t* luma = base + pair * pairBytes + (y % 2) * kWidth;
        // The chroma row of this pair and the neighbouring pair's, above or below.
        const int otherPair = std::clamp(y % 2 == 0 ? pair - 1 : pair + 1, 0, kHeight / 2 - 1);
        const uint8_t* blue = base + pair * pairBytes + 2 * kWidth;
        const uint8_t* red = blue + half;
        const uint8_t* otherBlue = base + otherPair * pairBytes + 2 * kWidth;
        const uint8_t* otherRed = otherBlue + half;
        for (int x = 0; x < kWidth; ++x) {
            const double c1 =
                0.75 * upsample(blue, half, x) + 0.25 * upsample(otherBlue, half, x) - 156;
            const double c2 =
                0.75 * upsample(red, half, x) + 0.25 * upsample(otherRed, half, x) - 137;
            const double y1 = luma[x];
            putPixel(picture, x, y, clamp(y1 + kRedFromC2 * c2),
                     clamp(y1 - kGreenFromC1 * c1 - kGreenFromC2 * c2),
                     clamp(y1 + kBlueFromC1 * c1));
        }
    }
    return picture;
}

}  // namespace formats
