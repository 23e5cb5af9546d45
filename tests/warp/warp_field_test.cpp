// The displacement field and its brushes: exact moves, reconstruction, smoothing, the freeze
// mask, the amount, detail kept over many dabs, composition, and stroke files.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstring>
#include <random>

#include "warp/displacement_field.h"
#include "warp/stroke_file.h"
#include "warp/warp_brush.h"
#include "warp/warp_session.h"

namespace {

using warp::Brush;
using warp::Dab;
using warp::DisplacementField;

QImage noisePicture(int width, int height, unsigned seed = 7) {
    QImage picture(width, height, QImage::Format_BGR888);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        uchar* row = picture.scanLine(y);
        for (int x = 0; x < 3 * width; ++x) {
            row[x] = static_cast<uchar>(random() & 0xff);
        }
    }
    return picture;
}

QImage rendered(const QImage& base, const DisplacementField& field, double amount = 1) {
    QImage out = base.copy();
    warp::renderRegion(base, field, amount, out.rect(), out);
    return out;
}

// A fine pattern: waves 12 and 14 pixels long across and down.
QImage finePattern(int width, int height) {
    QImage picture(width, height, QImage::Format_BGR888);
    for (int y = 0; y < height; ++y) {
        uchar* row = picture.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const double v =
                128 + 60 * std::sin(x * 2 * M_PI / 12) + 60 * std::sin(y * 2 * M_PI / 14);
            std::memset(row + 3 * x, static_cast<int>(std::lround(v)), 3);
        }
    }
    return picture;
}

// The squared differences between neighbours of the green channel over `area`: the
// picture's fine detail.
double detail(const QImage& picture, const QRect& area) {
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const auto g = [&](int px, int py) { return picture.constScanLine(py)[3 * px + 1]; };
            const double across = g(x + 1, y) - g(x, y);
            const double down = g(x, y + 1) - g(x, y);
            sum += across * across + down * down;
        }
    }
    return sum;
}

}  // namespace

TEST(WarpField, APushOfOnePixelMovesAStripeByOnePixel) {
    QImage base(200, 100, QImage::Format_BGR888);
    base.fill(Qt::black);
    for (int y = 0; y < 100; ++y) {
        std::memset(base.scanLine(y) + 3 * 100, 255, 3);
    }
    DisplacementField field(base.size());
    const QRect touched = warp::applyDab(field, {Brush::Push, {101, 50}, {100, 50}, 40, 100, 100});
    EXPECT_TRUE(touched.contains(QRect(61, 10, 80, 80)));
    const QImage out = rendered(base, field);
    for (int y = 30; y <= 70; ++y) {
        EXPECT_EQ(out.pixelColor(101, y), Qt::white) << y;
        EXPECT_EQ(out.pixelColor(100, y), Qt::black) << y;
    }
    // Outside the disc nothing moves.
    EXPECT_EQ(out.pixelColor(100, 2), Qt::white);
    EXPECT_EQ(out.pixelColor(101, 2), Qt::black);
}

TEST(WarpField, ReconstructAtFullStrengthGivesTheBaseBackBitForBit) {
    const QImage base = noisePicture(160, 120);
    DisplacementField field(base.size());
    warp::applyDab(field, {Brush::Push, {90, 60}, {70, 50}, 50, 80, 30});
    warp::applyDab(field, {Brush::TwirlClockwise, {60, 60}, {}, 40, 100, 50});
    warp::applyDab(field, {Brush::Bloat, {100, 40}, {}, 30, 100, 0});
    ASSERT_NE(rendered(base, field), base);
    warp::applyDab(field, {Brush::Reconstruct, {80, 60}, {}, 1000, 100, 100});
    EXPECT_EQ(rendered(base, field), base);
}

TEST(WarpField, SmoothingAConstantFieldChangesNothing) {
    DisplacementField field(QSize(100, 80));
    for (int j = 0; j < field.rows(); ++j) {
        for (int i = 0; i < field.columns(); ++i) {
            field.setOffset(i, j, {3.5, -2});
        }
    }
    warp::applyDab(field, {Brush::Smooth, {50, 40}, {}, 45, 100, 50});
    for (int j = 0; j < field.rows(); ++j) {
        for (int i = 0; i < field.columns(); ++i) {
            ASSERT_EQ(field.offset(i, j), QPointF(3.5, -2)) << i << "," << j;
        }
    }
}

TEST(WarpField, FrozenPlacesNeverMoveAndThawedOnesDo) {
    const QImage base = noisePicture(160, 120);
    DisplacementField field(base.size());
    warp::applyDab(field, {Brush::Freeze, {80, 60}, {}, 20, 100, 100});
    EXPECT_TRUE(field.hasFrozen());
    for (Brush brush : {Brush::Push, Brush::Bloat, Brush::TwirlAnticlockwise, Brush::Smooth}) {
        warp::applyDab(field, {brush, {85, 60}, {65, 55}, 60, 100, 50});
    }
    const QImage out = rendered(base, field);
    EXPECT_NE(out, base);
    for (int y = 47; y <= 73; ++y) {
        for (int x = 67; x <= 93; ++x) {
            if (std::hypot(x - 80, y - 60) < 16) {
                ASSERT_EQ(out.pixel(x, y), base.pixel(x, y)) << x << "," << y;
            }
        }
    }
    warp::applyDab(field, {Brush::Thaw, {80, 60}, {}, 40, 100, 100});
    warp::applyDab(field, {Brush::Push, {85, 60}, {75, 60}, 60, 100, 100});
    EXPECT_NE(rendered(base, field).pixel(80, 60), out.pixel(80, 60));
}

TEST(WarpField, TheAmountScalesEveryOffset) {
    const QImage base = noisePicture(120, 100);
    DisplacementField field(base.size());
    warp::applyDab(field, {Brush::Push, {70, 50}, {60, 45}, 40, 70, 40});
    warp::applyDab(field, {Brush::Pucker, {50, 50}, {}, 30, 100, 50});
    DisplacementField doubled = field;
    for (int j = 0; j < field.rows(); ++j) {
        for (int i = 0; i < field.columns(); ++i) {
            doubled.setOffset(i, j, field.offset(i, j) * 2);
        }
    }
    EXPECT_EQ(rendered(base, field, 2), rendered(base, doubled));
    EXPECT_EQ(rendered(base, field, 0), base);
    // The view at 100 % shows what the full render gives.
    const QImage view = warp::renderView(base, field, 1, base.rect(), 100, false);
    EXPECT_EQ(view, rendered(base, field));
}

// A hundred dabs that push a fine pattern to and fro: through the field it is resampled once,
// while a hundred separate resamples blur it away.
TEST(WarpField, ManyDabsThroughTheFieldKeepTheDetailThatRepeatedResamplesLose) {
    const QImage base = finePattern(200, 120);
    std::vector<Dab> stroke;
    QPointF at(70, 60);
    for (int k = 0; k < 100; ++k) {
        const QPointF next = at + QPointF(k < 50 ? 0.6 : -0.6, 0);
        stroke.push_back({Brush::Push, next, at, 40, 100, 40});
        at = next;
    }
    DisplacementField field(base.size());
    QImage separate = base;
    for (const Dab& dab : stroke) {
        warp::applyDab(field, dab);
        DisplacementField one(base.size());
        warp::applyDab(one, dab);
        separate = rendered(separate, one);
    }
    const QImage once = rendered(base, field);
    const QRect area(40, 30, 100, 60);
    const double original = detail(base, area);
    EXPECT_GE(detail(once, area), 0.95 * original);
    EXPECT_LT(detail(separate, area), 0.7 * original);
}

TEST(WarpField, ComposingAMapKeepsOneResampleOfTheBase) {
    const QImage base = noisePicture(120, 90);
    warp::WarpSession session;
    session.follow(base);
    // A shift by whole pixels composed twice reads the base two pixels away.
    const auto shift = [](double x, double y) { return QPointF(x + 1, y); };
    session.compose(QRect(20, 20, 60, 40), shift);
    session.compose(QRect(20, 20, 60, 40), shift);
    QImage out = base.copy();
    session.render(out, out.rect());
    EXPECT_EQ(out.pixel(40, 40), base.pixel(42, 40));
    EXPECT_EQ(out.pixel(5, 5), base.pixel(5, 5));
    // The session follows the picture it produced, and starts again on any other.
    session.produced(out);
    session.follow(out);
    EXPECT_EQ(session.base(), base);
    session.follow(noisePicture(120, 90, 9));
    EXPECT_TRUE(session.field().touched().isEmpty());
}

TEST(WarpStrokeFile, ReadsDabsAndNamesTheLineOfAMistake) {
    const std::vector<Dab> dabs = warp::parseStrokeFile(
        "# a stroke\n"
        "push 10 20 30 40\n"
        "push 15 20 30 40 100\r\n"
        "\n"
        "bloat 5 5 10 60\n"
        "push 1 1 5 5\n");
    ASSERT_EQ(dabs.size(), 4u);
    EXPECT_EQ(dabs[0].from, dabs[0].at);  // only where the push starts
    EXPECT_EQ(dabs[0].hardness, 50);
    EXPECT_EQ(dabs[1].from, QPointF(10, 20));
    EXPECT_EQ(dabs[1].hardness, 100);
    EXPECT_EQ(dabs[2].brush, Brush::Bloat);
    EXPECT_EQ(dabs[3].from, dabs[3].at);  // after another tool

    const struct {
        const char* text;
        int line;
        const char* says;
    } bad[] = {
        {"smudge 1 2 3 4\n", 1, "unknown tool"},
        {"push 1 2 3\n", 1, "expected TOOL"},
        {"\npush 1 2 3 4 5 6\n", 2, "expected TOOL"},
        {"push 1 2 3 101\n", 1, "STRENGTH 101 is out of range"},
        {"push 1 2 0 10\n", 1, "RADIUS must be above 0"},
        {"push 1 2 3 4\nthaw 1 y 3 4\n", 2, "Y \"y\" is not a number"},
        {"push nan 2 3 4\n", 1, "not a number"},
        {"push 1 2 3 4 -1\n", 1, "HARDNESS -1 is out of range"},
    };
    for (const auto& c : bad) {
        try {
            warp::parseStrokeFile(c.text);
            ADD_FAILURE() << c.text;
        } catch (const warp::StrokeFileError& e) {
            EXPECT_EQ(e.line(), c.line) << c.text;
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
    }
}
