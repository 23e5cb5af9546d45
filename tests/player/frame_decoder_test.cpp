#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "player/frame_decoder.h"
#include "player/frame_scale.h"
#include "test_jpeg.h"

namespace {

using player::DecodedFrame;
using player::FitRect;
using player::RgbImage;
using player_test::Rgb;

Rgb pixelAt(const RgbImage& image, int x, int y) {
    const std::size_t at = (static_cast<std::size_t>(y) * image.width + x) * 3;
    return {image.pixels[at], image.pixels[at + 1], image.pixels[at + 2]};
}

void expectNear(Rgb actual, Rgb expected, int tolerance = 3) {
    EXPECT_LE(std::abs(actual.r - expected.r), tolerance)
        << int(actual.r) << " vs " << int(expected.r);
    EXPECT_LE(std::abs(actual.g - expected.g), tolerance)
        << int(actual.g) << " vs " << int(expected.g);
    EXPECT_LE(std::abs(actual.b - expected.b), tolerance)
        << int(actual.b) << " vs " << int(expected.b);
}

DecodedFrame decode(const std::vector<std::uint8_t>& bytes) {
    return player::decodeFrame(bytes);
}

void expectRefused(const DecodedFrame& decoded, const std::string& reason) {
    EXPECT_FALSE(decoded.ok());
    EXPECT_NE(decoded.error.find(reason), std::string::npos) << decoded.error;
}

// Where the frame's size is in its start-of-frame segment: height at +5, width at +7.
std::size_t frameSegment(const std::vector<std::uint8_t>& bytes, std::uint8_t marker) {
    std::size_t at = 2;
    while (!(bytes[at] == 0xFF && bytes[at + 1] == marker)) {
        ++at;
    }
    return at;
}

void setSize(std::vector<std::uint8_t>& bytes, std::size_t segment, int width, int height) {
    bytes[segment + 5] = static_cast<std::uint8_t>(height >> 8);
    bytes[segment + 6] = static_cast<std::uint8_t>(height);
    bytes[segment + 7] = static_cast<std::uint8_t>(width >> 8);
    bytes[segment + 8] = static_cast<std::uint8_t>(width);
}

TEST(FrameDecoder, SmallFramesAreEnlargedToTheirPlace) {
    const Rgb orange{250, 140, 20};
    const DecodedFrame decoded = decode(player_test::solidJpeg(64, 48, orange));
    ASSERT_TRUE(decoded.ok()) << decoded.error;
    EXPECT_EQ(decoded.frame.place, (FitRect{5, 12, 605, 454}));
    ASSERT_EQ(decoded.frame.image.width, 605);
    ASSERT_EQ(decoded.frame.image.height, 454);
    ASSERT_EQ(decoded.frame.image.pixels.size(), 605u * 454 * 3);
    for (const auto& [x, y] : {std::pair{0, 0}, {604, 453}, {300, 200}}) {
        expectNear(pixelAt(decoded.frame.image, x, y), orange);
    }
}

TEST(FrameDecoder, LargeFramesKeepTheirLayoutWhenShrunk) {
    // Red left half, blue right half, a green band along the top.
    const auto colour = [](int x, int y) {
        if (y < 100) {
            return Rgb{0, 255, 0};
        }
        return x < 1000 ? Rgb{255, 0, 0} : Rgb{0, 0, 255};
    };
    const DecodedFrame decoded = decode(player_test::encodeJpeg(2000, 1500, colour));
    ASSERT_TRUE(decoded.ok()) << decoded.error;
    const RgbImage& image = decoded.frame.image;
    ASSERT_EQ(image.width, 605);
    ASSERT_EQ(image.height, 454);
    expectNear(pixelAt(image, 100, 5), {0, 255, 0}, 8);
    expectNear(pixelAt(image, 100, 300), {255, 0, 0}, 8);
    expectNear(pixelAt(image, 500, 300), {0, 0, 255}, 8);
}

TEST(FrameDecoder, DecodesAtTheFewestEighthsCoveringThePlace) {
    // 2000 * 3 / 8 = 750 >= 605 and 1500 * 3 / 8 = 563 >= 454; 2 / 8 gives 500 wide.
    EXPECT_EQ(player::dctEighths(2000, 1500, 605, 454), 3);
    // libjpeg rounds scaled sides up: ceil(4833 / 8) = 605 still covers the width, 4832 / 8
    // does not; the same for the height with 3745 and 3744.
    EXPECT_EQ(player::dctEighths(4833, 3752, 605, 469), 1);
    EXPECT_EQ(player::dctEighths(4832, 3752, 605, 469), 2);
    EXPECT_EQ(player::dctEighths(4840, 3745, 605, 469), 1);
    EXPECT_EQ(player::dctEighths(4840, 3744, 605, 469), 2);
    EXPECT_EQ(player::dctEighths(700, 400, 605, 346), 7);
    EXPECT_EQ(player::dctEighths(64, 48, 605, 454), 8);
}

TEST(FrameDecoder, ReadsGreyProgressiveAndInkFrames) {
    const DecodedFrame grey = decode(player_test::encodeJpeg(
        40, 40,
        [](int, int) {
            return Rgb{0, 100, 0};
        },
        player_test::JpegKind::Grey));
    ASSERT_TRUE(grey.ok()) << grey.error;
    expectNear(pixelAt(grey.frame.image, 200, 200), {100, 100, 100});

    const DecodedFrame progressive = decode(player_test::encodeJpeg(
        48, 64,
        [](int, int) {
            return Rgb{30, 60, 200};
        },
        player_test::JpegKind::Progressive));
    ASSERT_TRUE(progressive.ok()) << progressive.error;
    EXPECT_EQ(progressive.frame.place, player::fitFrame(48, 64));
    expectNear(pixelAt(progressive.frame.image, 150, 300), {30, 60, 200});

    // Inks written with an Adobe marker are inverted: the value is the light let through,
    // here darkened by half by the black ink.
    const DecodedFrame inks = decode(player_test::encodeJpeg(
        16, 16,
        [](int, int) {
            return Rgb{255, 0, 200};
        },
        player_test::JpegKind::Cmyk));
    ASSERT_TRUE(inks.ok()) << inks.error;
    expectNear(pixelAt(inks.frame.image, 300, 200), {128, 0, 100}, 4);
}

TEST(FrameDecoder, IgnoresBytesAfterTheEndMarker) {
    std::vector<std::uint8_t> bytes = player_test::solidJpeg(32, 24, {10, 200, 90});
    bytes.insert(bytes.end(), {'n', 'o', 't', ' ', 'j', 'p', 'e', 'g', 0xFF, 0xD8});
    const DecodedFrame decoded = decode(bytes);
    ASSERT_TRUE(decoded.ok()) << decoded.error;
    expectNear(pixelAt(decoded.frame.image, 300, 200), {10, 200, 90});
}

TEST(FrameDecoder, RefusesWhatIsNotAWholeJpeg) {
    expectRefused(decode({}), "empty");
    expectRefused(decode({'G', 'I', 'F', '8', '9', 'a'}), "not a readable JPEG picture");
    const std::vector<std::uint8_t> whole = player_test::solidJpeg(64, 64, {1, 2, 3});
    const std::vector<std::uint8_t> half(whole.begin(), whole.begin() + whole.size() / 2);
    expectRefused(decode(half), "not a readable JPEG picture");
    const std::vector<std::uint8_t> header(whole.begin(), whole.begin() + 20);
    expectRefused(decode(header), "not a readable JPEG picture");
}

TEST(FrameDecoder, RefusesFramesOverThirtyThousandPixelsASide) {
    std::vector<std::uint8_t> bytes = player_test::solidJpeg(16, 16, {1, 2, 3});
    const std::size_t segment = frameSegment(bytes, 0xC0);
    setSize(bytes, segment, 30001, 16);
    expectRefused(decode(bytes), "the 30001 x 16 picture is too large to show");
    setSize(bytes, segment, 16, 30001);
    expectRefused(decode(bytes), "the 16 x 30001 picture is too large to show");
    setSize(bytes, segment, 30000, 16);
    // Accepted, then found short of data.
    expectRefused(decode(bytes), "not a readable JPEG picture");
}

TEST(FrameDecoder, RefusesFramesThatWouldTakeTooLong) {
    // Every scan of a progressive file is a pass over the picture.
    const std::vector<std::uint8_t> manyScans = player_test::encodeJpeg(
        16, 16,
        [](int x, int y) {
            return Rgb{0, static_cast<std::uint8_t>(x * y), 0};
        },
        player_test::JpegKind::ManyScans);
    expectRefused(decode(manyScans), "more than 500 scans");

    // A progressive 30000 x 30000 picture keeps gigabytes of coefficients while it is read.
    std::vector<std::uint8_t> huge = player_test::encodeJpeg(
        16, 16,
        [](int, int) {
            return Rgb{5, 6, 7};
        },
        player_test::JpegKind::Progressive);
    setSize(huge, frameSegment(huge, 0xC2), 30000, 30000);
    expectRefused(decode(huge), "needs more memory than a frame may use");
}

TEST(Resample, InterpolatesWhenEnlarging) {
    const RgbImage source{2, 1, {0, 0, 0, 200, 100, 40}};
    const RgbImage wide = player::resample(source, 4, 1);
    EXPECT_EQ(wide.pixels,
              (std::vector<std::uint8_t>{0, 0, 0, 50, 25, 10, 150, 75, 30, 200, 100, 40}));
    const RgbImage same = player::resample(source, 2, 1);
    EXPECT_EQ(same.pixels, source.pixels);
}

TEST(Resample, ShrinkingAveragesAndKeepsEdges) {
    // A ramp 0..255 across 100 columns and 3 rows shrunk to 10 x 1.
    RgbImage ramp{100, 3, {}};
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 100; ++x) {
            const auto value = static_cast<std::uint8_t>(x * 255 / 99);
            ramp.pixels.insert(ramp.pixels.end(),
                               {value, value, static_cast<std::uint8_t>(255 - value)});
        }
    }
    const RgbImage small = player::resample(ramp, 10, 1);
    ASSERT_EQ(small.pixels.size(), 30u);
    for (int x = 0; x < 10; ++x) {
        const Rgb pixel = pixelAt(small, x, 0);
        // Each pixel averages the ten columns around its centre 10x + 4.5.
        const int expected = static_cast<int>((10 * x + 4.5) * 255 / 99 + 0.5);
        EXPECT_NEAR(pixel.r, expected, 4) << x;
        EXPECT_NEAR(pixel.r + pixel.b, 255, 1) << x;
    }
}

}  // namespace
