#include "formats/gif_animation_writer.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include <gif_lib.h>

#include "formats/format_error.h"
#include "tests/formats/test_pictures.h"

namespace {

using formats_test::compare;

// ---- reading the animation back with giflib ----

struct MemoryInput {
    const QByteArray* data;
    qsizetype at = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* into, int count) {
    auto* input = static_cast<MemoryInput*>(gif->UserData);
    const auto available = std::min<qsizetype>(count, input->data->size() - input->at);
    std::memcpy(into, input->data->constData() + input->at, static_cast<size_t>(available));
    input->at += available;
    return static_cast<int>(available);
}

struct GifCloser {
    void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};
using GifFile = std::unique_ptr<GifFileType, GifCloser>;

// The whole file as giflib reads it; null (with a test failure) when giflib refuses it.
GifFile slurp(const QByteArray& data) {
    MemoryInput input{&data};
    int error = 0;
    GifFile gif(DGifOpen(&input, &readFromMemory, &error));
    if (!gif) {
        ADD_FAILURE() << "DGifOpen: " << GifErrorString(error);
        return nullptr;
    }
    if (DGifSlurp(gif.get()) != GIF_OK) {
        ADD_FAILURE() << "DGifSlurp: " << GifErrorString(gif->Error);
        return nullptr;
    }
    gif->UserData = nullptr;
    return gif;
}

// Frame `index` through its own colour table, as a Format_BGR888 picture.
QImage decodedFrame(const GifFileType& gif, int index) {
    const SavedImage& image = gif.SavedImages[index];
    const ColorMapObject* map = image.ImageDesc.ColorMap;
    QImage picture(image.ImageDesc.Width, image.ImageDesc.Height, QImage::Format_BGR888);
    const GifByteType* raster = image.RasterBits;
    for (int y = 0; y < picture.height(); ++y) {
        uchar* row = picture.scanLine(y);
        for (int x = 0; x < picture.width(); ++x, ++raster) {
            EXPECT_LT(*raster, map->ColorCount);
            const GifColorType colour = map->Colors[*raster % map->ColorCount];
            row[3 * x] = colour.Blue;
            row[3 * x + 1] = colour.Green;
            row[3 * x + 2] = colour.Red;
        }
    }
    return picture;
}

// The loop count of a NETSCAPE2.0 block before the first image, or -1 without one.
int loopCount(const GifFileType& gif) {
    const SavedImage& first = gif.SavedImages[0];
    for (int i = 0; i + 1 < first.ExtensionBlockCount; ++i) {
        const ExtensionBlock& name = first.ExtensionBlocks[i];
        const ExtensionBlock& data = first.ExtensionBlocks[i + 1];
        if (name.Function == APPLICATION_EXT_FUNC_CODE && name.ByteCount == 11 &&
            std::memcmp(name.Bytes, "NETSCAPE2.0", 11) == 0 &&
            data.Function == CONTINUE_EXT_FUNC_CODE && data.ByteCount == 3 && data.Bytes[0] == 1) {
            return data.Bytes[1] | data.Bytes[2] << 8;
        }
    }
    return -1;
}

QImage filled(int width, int height, QRgb colour) {
    QImage picture(width, height, QImage::Format_BGR888);
    picture.fill(colour);
    return picture;
}

// A smooth skin-coloured ramp: red 190..235, green 140..180, blue 120..165.
QImage skinRamp(int width, int height) {
    QImage picture(width, height, QImage::Format_BGR888);
    for (int y = 0; y < height; ++y) {
        uchar* row = picture.scanLine(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x + 2] = static_cast<uchar>(190 + 45 * x / (width - 1));
            row[3 * x + 1] = static_cast<uchar>(140 + 40 * y / (height - 1));
            row[3 * x] = static_cast<uchar>(120 + 45 * (x + y) / (width + height - 2));
        }
    }
    return picture;
}

// A smooth scene: light falling off from top to bottom, the hue drifting from left to right,
// and a little texture.
QImage scene(int width, int height) {
    QImage picture(width, height, QImage::Format_BGR888);
    for (int y = 0; y < height; ++y) {
        uchar* row = picture.scanLine(y);
        const double s = static_cast<double>(y) / height;
        for (int x = 0; x < width; ++x) {
            const double t = static_cast<double>(x) / width;
            const double texture = 6 * std::sin(x * 0.3) * std::sin(y * 0.25);
            row[3 * x + 2] = static_cast<uchar>(60 + 150 * s + 30 * std::sin(6 * t) + texture);
            row[3 * x + 1] = static_cast<uchar>(40 + 120 * s + 25 * std::sin(5 * t + 2 * s));
            row[3 * x] = static_cast<uchar>(50 + 90 * s + 40 * std::cos(4 * t) + texture);
        }
    }
    return picture;
}

// ---- the animation's structure ----

TEST(GifAnimationWriter, LoopsForeverWithEveryFrameAtTheOriginClearedAfterItsDelay) {
    const std::vector<QImage> frames{filled(40, 30, qRgb(200, 30, 30)),
                                     filled(64, 20, qRgb(20, 180, 40)),
                                     filled(25, 50, qRgb(10, 20, 220))};
    const QByteArray bytes = formats::encodeGifAnimation(frames, 10);
    EXPECT_TRUE(bytes.startsWith("GIF89a"));
    const GifFile gif = slurp(bytes);
    ASSERT_NE(gif, nullptr);
    ASSERT_EQ(gif->ImageCount, 3);
    EXPECT_EQ(gif->SWidth, 64);
    EXPECT_EQ(gif->SHeight, 50);
    EXPECT_EQ(loopCount(*gif), 0);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const GifImageDesc& desc = gif->SavedImages[i].ImageDesc;
        EXPECT_EQ(desc.Left, 0);
        EXPECT_EQ(desc.Top, 0);
        EXPECT_EQ(desc.Width, frames[static_cast<size_t>(i)].width());
        EXPECT_EQ(desc.Height, frames[static_cast<size_t>(i)].height());
        EXPECT_FALSE(desc.Interlace);
        ASSERT_NE(desc.ColorMap, nullptr);
        EXPECT_LE(desc.ColorMap->ColorCount, 256);
        GraphicsControlBlock control{};
        ASSERT_EQ(DGifSavedExtensionToGCB(gif.get(), i, &control), GIF_OK);
        EXPECT_EQ(control.DelayTime, 10);
        EXPECT_EQ(control.DisposalMode, DISPOSE_BACKGROUND);
        EXPECT_EQ(control.TransparentColor, NO_TRANSPARENT_COLOR);
        EXPECT_EQ(compare(decodedFrame(*gif, i), frames[static_cast<size_t>(i)]).largest, 0);
    }
}

TEST(GifAnimationWriter, DelayIsWrittenAsGiven) {
    const GifFile gif = slurp(formats::encodeGifAnimation({filled(3, 3, qRgb(1, 2, 3))}, 250));
    ASSERT_NE(gif, nullptr);
    GraphicsControlBlock control{};
    ASSERT_EQ(DGifSavedExtensionToGCB(gif.get(), 0, &control), GIF_OK);
    EXPECT_EQ(control.DelayTime, 250);
}

// ---- colours ----

// Up to 256 distinct colours come back exactly, even colours one step apart that share a
// histogram cell; each frame has its own table.
TEST(GifAnimationWriter, FramesOfAtMost256ColoursKeepThemExactly) {
    QImage close(16, 16, QImage::Format_BGR888);  // 256 colours in a 16-wide cube
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            close.setPixel(x, y, qRgb(100 + x, 100 + y, 100 + (x + y) % 4));
        }
    }
    QImage few(30, 20, QImage::Format_BGR888);  // 13 colours far apart
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 30; ++x) {
            few.setPixel(x, y,
                         (x + y) % 3 == 0 ? qRgb(255, 255, 255) : qRgb(x / 10 * 80, 0, y / 5 * 60));
        }
    }
    const std::vector<QImage> frames{close, few, filled(1, 1, qRgb(7, 8, 9))};
    const GifFile gif = slurp(formats::encodeGifAnimation(frames, 10));
    ASSERT_NE(gif, nullptr);
    ASSERT_EQ(gif->ImageCount, 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(compare(decodedFrame(*gif, i), frames[static_cast<size_t>(i)]).largest, 0);
    }
    EXPECT_EQ(gif->SavedImages[0].ImageDesc.ColorMap->ColorCount, 256);
}

TEST(GifAnimationWriter, PhotographLikeFramesStayClose) {
    const QImage photo = scene(605, 469);
    const GifFile gif = slurp(formats::encodeGifAnimation({photo}, 10));
    ASSERT_NE(gif, nullptr);
    const formats_test::Difference difference = compare(decodedFrame(*gif, 0), photo);
    EXPECT_LT(difference.mean, 4.0);
    EXPECT_LE(difference.largest, 16);
}

// The palette follows the pixels: a frame mostly of skin with a thin band of vivid colours
// keeps the skin's fine steps instead of spending the table evenly over all colours.
TEST(GifAnimationWriter, SkinStaysSmoothBesideVividColours) {
    QImage frame = skinRamp(400, 300);
    for (int y = 0; y < 12; ++y) {
        uchar* row = frame.scanLine(y);
        for (int x = 0; x < frame.width(); ++x) {
            row[3 * x] = static_cast<uchar>(x * 37);
            row[3 * x + 1] = static_cast<uchar>(x * 91 + y * 50);
            row[3 * x + 2] = static_cast<uchar>(255 - x);
        }
    }
    const GifFile gif = slurp(formats::encodeGifAnimation({frame}, 10));
    ASSERT_NE(gif, nullptr);
    const QImage decoded = decodedFrame(*gif, 0);
    const QRect skin(0, 12, frame.width(), frame.height() - 12);
    const formats_test::Difference difference = compare(decoded.copy(skin), frame.copy(skin));
    EXPECT_LT(difference.mean, 2.0);
    EXPECT_LE(difference.largest, 6);
}

// ---- refusals ----

TEST(GifAnimationWriter, RefusesWhatItCannotWrite) {
    EXPECT_THROW(formats::encodeGifAnimation({}, 10), std::invalid_argument);
    const QImage frame = filled(4, 4, qRgb(1, 2, 3));
    EXPECT_THROW(
        formats::encodeGifAnimation({frame, frame.convertToFormat(QImage::Format_RGB32)}, 10),
        std::invalid_argument);
    EXPECT_THROW(formats::encodeGifAnimation({frame, QImage()}, 10), std::invalid_argument);
    EXPECT_THROW(formats::encodeGifAnimation({frame}, -1), std::invalid_argument);
    EXPECT_THROW(formats::encodeGifAnimation({frame}, 65536), std::invalid_argument);

    const std::string tooWide = formats_test::messageOf([&] {
        formats::encodeGifAnimation({frame, filled(65536, 1, qRgb(0, 0, 0))}, 10);
    });
    EXPECT_NE(tooWide.find("65535"), std::string::npos) << tooWide;
    EXPECT_THROW(formats::encodeGifAnimation({filled(1, 65536, qRgb(0, 0, 0))}, 10),
                 formats::FormatError);
    EXPECT_NO_THROW(formats::encodeGifAnimation({filled(65535, 1, qRgb(0, 0, 0))}, 10));
}

}  // namespace

// Frames fetched one at a time: each is asked for once and in order, the screen still covers
// the largest, and what the source throws reaches the caller.
TEST(GifAnimationWriter, StreamedFramesAreFetchedOnceInOrder) {
    std::vector<int> asked;
    const QByteArray bytes = formats::encodeGifAnimation(
        3,
        [&asked](int index) {
            asked.push_back(index);
            return filled(2 + index * 5, 9 - index * 3, qRgb(10 * index, 0, 0));
        },
        10);
    EXPECT_EQ(asked, (std::vector<int>{0, 1, 2}));
    const GifFile gif = slurp(bytes);
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(gif->SWidth, 12);
    EXPECT_EQ(gif->SHeight, 9);
    EXPECT_EQ(gif->ImageCount, 3);

    struct Gone {};
    EXPECT_THROW(formats::encodeGifAnimation(
                     2, [](int) -> QImage { throw Gone{}; }, 10),
                 Gone);
}
