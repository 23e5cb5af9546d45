#include "effects/sign_drawing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/line_walk.h"
#include "test_pictures.h"

namespace {

using effects::DashPhase;
using effects::SignPen;
using Pixels = std::set<std::pair<int, int>>;  // (x, y)

// No pixel of the coordinates picture has blue 0xc8, so every pixel a sign sets changes.
constexpr uint32_t kInk = colour::make(0xf0, 0x20, 0xc8);

QRect boundingBox(const Pixels& pixels) {
    QRect box;
    for (const auto& [x, y] : pixels) {
        box |= QRect(x, y, 1, 1);
    }
    return box;
}

// What one drawing did: the pixels it changed, each of which must now carry `colour`.
struct Drawn {
    Pixels changed;
    QRect returned;
};

Pixels changedPixels(const QImage& before, const QImage& after, uint32_t colour) {
    Pixels changed;
    for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
            const uint32_t now = test_pictures::at(after, x, y);
            if (now != test_pictures::at(before, x, y)) {
                EXPECT_EQ(now, colour) << "pixel " << x << "," << y;
                changed.insert({x, y});
            }
        }
    }
    return changed;
}

Drawn drawOn(QImage& picture, QPoint from, QPoint to, int width, DashPhase& dash) {
    const QImage before = picture.copy();
    const QRect returned = effects::drawSignSegment(picture, from, to, {kInk, width}, dash);
    Drawn drawn{changedPixels(before, picture, kInk), returned};
    EXPECT_EQ(drawn.returned, boundingBox(drawn.changed));
    return drawn;
}

Drawn draw(QSize size, QPoint from, QPoint to, int width) {
    QImage picture = test_pictures::coordinates(size.width(), size.height());
    DashPhase dash;
    return drawOn(picture, from, to, width, dash);
}

// The 1-pixel pen by its definition: LineDDA's pixels, 18 of every 24 kept.
Pixels dashedReference(QSize size, QPoint from, QPoint to, int walked = 0) {
    Pixels pixels;
    int64_t k = walked;
    platform::LineDDA(from.x(), from.y(), to.x(), to.y(), [&](int x, int y) {
        if (k++ % 24 < 18 && x >= 0 && y >= 0 && x < size.width() && y < size.height()) {
            pixels.insert({x, y});
        }
    });
    return pixels;
}

// Whether the centre of pixel (px, py) lies within width / 2 of the segment, measured
// directly in long double (exact enough at these sizes: the capsule never passes through a
// pixel centre).
bool withinPen(QPoint from, QPoint to, int width, int px, int py) {
    const long double shift = width % 2 == 0 ? 0 : 0.5L;
    const long double ax = from.x() + shift, ay = from.y() + shift;
    const long double dx = to.x() - from.x(), dy = to.y() - from.y();
    const long double cx = px + 0.5L, cy = py + 0.5L;
    const long double lengthSquared = dx * dx + dy * dy;
    long double t = lengthSquared == 0 ? 0 : ((cx - ax) * dx + (cy - ay) * dy) / lengthSquared;
    t = std::clamp(t, 0.0L, 1.0L);
    return std::hypot(cx - (ax + t * dx), cy - (ay + t * dy)) <= width / 2.0L;
}

Pixels roundReference(QSize size, QPoint from, QPoint to, int width) {
    Pixels pixels;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            if (withinPen(from, to, width, x, y)) {
                pixels.insert({x, y});
            }
        }
    }
    return pixels;
}

// Rows of 'X' and '.', placed with its top-left character at `origin`.
Pixels mask(QPoint origin, const std::vector<const char*>& rows) {
    Pixels pixels;
    for (int y = 0; y < static_cast<int>(rows.size()); ++y) {
        for (int x = 0; rows[y][x] != '\0'; ++x) {
            if (rows[y][x] == 'X') {
                pixels.insert({origin.x() + x, origin.y() + y});
            }
        }
    }
    return pixels;
}

TEST(SignPenOnePixel, WalksFromTheStartUpToTheEnd) {
    const QSize size(12, 8);
    // Worked by hand: y = Rnd(i * dy / 5), halves up; the walk back takes other pixels.
    EXPECT_EQ(draw(size, {0, 0}, {5, 2}, 1).changed,
              (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));
    EXPECT_EQ(draw(size, {5, 2}, {0, 0}, 1).changed,
              (Pixels{{5, 2}, {4, 2}, {3, 1}, {2, 1}, {1, 0}}));
    EXPECT_TRUE(draw(size, {3, 3}, {3, 3}, 1).changed.empty());

    // Shallow and steep segments in every octant, shorter than one dash.
    const QSize square(31, 31);
    const QPoint centre(15, 15);
    for (int dx : {-13, -6, -1, 0, 1, 6, 13}) {
        for (int dy : {-13, -5, -1, 0, 1, 5, 13}) {
            const QPoint end = centre + QPoint(dx, dy);
            DashPhase dash;
            QImage picture = test_pictures::coordinates(square.width(), square.height());
            const Drawn drawn = drawOn(picture, centre, end, 1, dash);
            EXPECT_EQ(drawn.changed, dashedReference(square, centre, end)) << dx << "," << dy;
            EXPECT_EQ(dash.walked, std::max(std::abs(dx), std::abs(dy)));
            if (dx != 0 || dy != 0) {
                EXPECT_TRUE(drawn.changed.count({centre.x(), centre.y()}));
                EXPECT_FALSE(drawn.changed.count({end.x(), end.y()}));
            }
        }
    }
}

TEST(SignPenOnePixel, DashesEighteenOnSixOffAcrossSegments) {
    QImage picture = test_pictures::coordinates(100, 40);
    DashPhase dash;
    // Along a horizontal line and on down a vertical one, as one stroke.
    const Drawn along = drawOn(picture, {0, 0}, {90, 0}, 1, dash);
    EXPECT_EQ(dash.walked, 90 % 24);
    const Drawn down = drawOn(picture, {90, 0}, {90, 35}, 1, dash);
    EXPECT_EQ(dash.walked, 125 % 24);
    for (int x = 0; x < 90; ++x) {
        EXPECT_EQ(along.changed.count({x, 0}), x % 24 < 18 ? 1u : 0u) << x;
    }
    for (int y = 0; y < 35; ++y) {
        EXPECT_EQ(down.changed.count({90, y}), (90 + y) % 24 < 18 ? 1u : 0u) << y;
    }
    EXPECT_EQ(along.changed.size() + down.changed.size(), 18u * 5 + 5);

    // A straight line always starts a fresh pattern.
    QImage fresh = test_pictures::coordinates(100, 40);
    effects::drawSignLine(fresh, {90, 0}, {90, 35}, {kInk, 1});
    EXPECT_EQ(changedPixels(test_pictures::coordinates(100, 40), fresh, kInk),
              dashedReference({100, 40}, {90, 0}, {90, 35}));
}

TEST(SignPenOnePixel, ClipsWalksThatLeaveThePicture) {
    const QSize size(30, 20);
    const std::vector<std::pair<QPoint, QPoint>> segments = {
        {{-10, 5}, {40, 12}},   {{40, 3}, {-7, 17}},    {{4, -9}, {21, 35}}, {{25, 30}, {2, -4}},
        {{-50, -40}, {60, 50}}, {{29, 19}, {300, 200}}, {{-3, 0}, {-3, 19}}, {{0, 20}, {29, 20}},
        {{-40, 30}, {70, 25}},  {{60, -1}, {-60, -1}},  {{30, 0}, {90, 19}}, {{12, -1}, {-60, 40}},
    };
    for (const auto& [from, to] : segments) {
        for (int walked : {0, 7, 23}) {
            QImage picture = test_pictures::coordinates(size.width(), size.height());
            DashPhase dash{walked};
            const Drawn drawn = drawOn(picture, from, to, 1, dash);
            EXPECT_EQ(drawn.changed, dashedReference(size, from, to, walked))
                << from.x() << "," << from.y() << " " << to.x() << "," << to.y();
        }
    }
    // Entirely outside: nothing written, nothing returned.
    const Drawn outside = draw(size, {-5, -5}, {40, -1}, 1);
    EXPECT_TRUE(outside.changed.empty());
    EXPECT_TRUE(outside.returned.isEmpty());
}

TEST(SignPenOnePixel, HugeCoordinates) {
    const QSize size(64, 48);
    const QPoint from(-2000000, -1500007), to(2000003, 1500000);
    EXPECT_EQ(draw(size, from, to, 1).changed, dashedReference(size, from, to));

    // From corner to corner of the int range: the walk is the diagonal, step i at
    // (i - 2^31, i - 2^31).
    QImage picture = test_pictures::coordinates(size.width(), size.height());
    DashPhase dash;
    const Drawn drawn = drawOn(picture, {INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}, 1, dash);
    Pixels diagonal;
    for (int k = 0; k < size.height(); ++k) {
        if ((k + (int64_t{1} << 31)) % 24 < 18) {
            diagonal.insert({k, k});
        }
    }
    EXPECT_EQ(drawn.changed, diagonal);
    EXPECT_EQ(dash.walked, static_cast<int>(UINT32_MAX % 24));
}

TEST(SignPenRound, HorizontalLinesCoverExactlyTheirWidth) {
    // Width 2 runs along pixel corners: rows 9 and 10, the round ends reach one pixel
    // beyond each end point.
    EXPECT_EQ(draw({40, 20}, {5, 10}, {25, 10}, 2).changed,
              mask({4, 9}, {"XXXXXXXXXXXXXXXXXXXXXX", "XXXXXXXXXXXXXXXXXXXXXX"}));
    // Width 3 runs along pixel centres: rows 9 to 11; (4, 9) lies sqrt 2 from the start.
    const char* row = "XXXXXXXXXXXXXXXXXXXXXXX";
    EXPECT_EQ(draw({40, 20}, {5, 10}, {25, 10}, 3).changed, mask({4, 9}, {row, row, row}));
}

TEST(SignPenRound, DotsAreRound) {
    EXPECT_EQ(draw({20, 20}, {10, 10}, {10, 10}, 2).changed, mask({9, 9}, {"XX", "XX"}));
    EXPECT_EQ(draw({20, 20}, {10, 10}, {10, 10}, 3).changed, mask({9, 9}, {"XXX", "XXX", "XXX"}));
    EXPECT_EQ(draw({20, 20}, {10, 10}, {10, 10}, 4).changed,
              mask({8, 8}, {".XX.", "XXXX", "XXXX", ".XX."}));
    EXPECT_EQ(draw({20, 20}, {10, 10}, {10, 10}, 5).changed,
              mask({8, 8}, {".XXX.", "XXXXX", "XXXXX", "XXXXX", ".XXX."}));
}

TEST(SignPenRound, MatchesTheDistanceRuleAnywhere) {
    const QSize size(40, 30);
    std::mt19937 random(2024);
    std::uniform_int_distribution<int> coordinate(-25, 65);
    std::uniform_int_distribution<int> penWidth(2, 14);
    for (int i = 0; i < 400; ++i) {
        const QPoint from(coordinate(random), coordinate(random));
        const QPoint to = i % 10 == 0 ? from : QPoint(coordinate(random), coordinate(random));
        const int width = i % 50 == 0 ? 60 : penWidth(random);
        QImage picture = test_pictures::coordinates(size.width(), size.height());
        DashPhase dash{5};
        const Drawn drawn = drawOn(picture, from, to, width, dash);
        EXPECT_EQ(drawn.changed, roundReference(size, from, to, width))
            << from.x() << "," << from.y() << " " << to.x() << "," << to.y() << " w" << width;
        EXPECT_EQ(dash.walked, 5);
    }
    // One-step diagonals whose edges pass within 0.04 of pixel centres.
    for (const int width : {7, 14}) {
        EXPECT_EQ(draw(size, {10, 10}, {11, 11}, width).changed,
                  roundReference(size, {10, 10}, {11, 11}, width));
    }
    // Just beyond the reach of the pen above the picture, and just within it.
    EXPECT_TRUE(draw(size, {-9, -3}, {50, -3}, 5).returned.isEmpty());
    EXPECT_EQ(draw(size, {-9, -2}, {50, -2}, 5).changed.size(), 40u);
    EXPECT_EQ(draw(size, {0, 0}, {39, 29}, 10000).changed.size(), 40u * 30);
}

TEST(SignPenRound, HugeCoordinates) {
    // Along the diagonal through pixel centres: centres within 3.5 of it, |x - y| <= 4.
    const QSize size(50, 40);
    for (const auto& [from, to] : {std::pair{QPoint(-1000000, -1000000), QPoint(2000000, 2000000)},
                                   std::pair{QPoint(INT_MIN, INT_MIN), QPoint(INT_MAX, INT_MAX)}}) {
        Pixels band;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = std::max(0, y - 4); x <= std::min(size.width() - 1, y + 4); ++x) {
                band.insert({x, y});
            }
        }
        EXPECT_EQ(draw(size, from, to, 7).changed, band) << from.x();
    }
    // Width 4 along row 20's top edge, from far left to far right: rows 18 to 21.
    EXPECT_EQ(draw(size, {-2000000, 20}, {2000000, 20}, 4).changed,
              roundReference(size, {-100, 20}, {100, 20}, 4));
    EXPECT_EQ(draw(size, {INT_MAX, 3}, {INT_MAX, 3}, 9).changed.size(), 0u);
}

TEST(SignDrawing, RefusesOtherPictureFormats) {
    QImage picture(8, 8, QImage::Format_RGB32);
    DashPhase dash;
    EXPECT_THROW(effects::drawSignSegment(picture, {0, 0}, {5, 5}, {kInk, 1}, dash),
                 std::invalid_argument);
    EXPECT_THROW(effects::drawSignLine(picture, {0, 0}, {5, 5}, {kInk, 3}), std::invalid_argument);
    EXPECT_THROW(effects::stampTextInk(picture, picture, {0, 0}, kInk), std::invalid_argument);
}

TEST(StampTextInk, CopiesOnlyTheExactColourAndClips) {
    // Ink pixels: the colour (also with another alpha), its channels swapped, one step off.
    const uint32_t colour = colour::make(0x12, 0x34, 0x56);
    QImage ink(7, 5, QImage::Format_ARGB32);
    const QRgb kinds[] = {qRgb(0x12, 0x34, 0x56), qRgba(0x12, 0x34, 0x56, 0x40),
                          qRgb(0x56, 0x34, 0x12), qRgb(0x12, 0x35, 0x56), qRgb(0, 0, 0)};
    for (int y = 0; y < ink.height(); ++y) {
        for (int x = 0; x < ink.width(); ++x) {
            ink.setPixel(x, y, kinds[(x * 3 + y * 2) % 5]);
        }
    }
    const QSize size(20, 16);
    // Pixels compare as QImage::pixel gives them, alpha dropped, whatever the ink's format.
    for (const QImage& form : {ink, ink.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                               ink.convertToFormat(QImage::Format_RGB888)}) {
        for (const QPoint at : {QPoint(6, 5), QPoint(-3, 4), QPoint(16, 2), QPoint(5, -2),
                                QPoint(8, 13), QPoint(-4, -3), QPoint(17, 14), QPoint(-7, 4),
                                QPoint(20, 0), QPoint(INT_MIN, 3), QPoint(INT_MAX - 2, 3)}) {
            Pixels expected;
            for (int y = 0; y < ink.height(); ++y) {
                for (int x = 0; x < ink.width(); ++x) {
                    const int64_t px = int64_t{at.x()} + x, py = int64_t{at.y()} + y;
                    if ((form.pixel(x, y) & 0xffffff) == 0x123456 && px >= 0 && py >= 0 &&
                        px < size.width() && py < size.height()) {
                        expected.insert({static_cast<int>(px), static_cast<int>(py)});
                    }
                }
            }
            QImage picture = test_pictures::coordinates(size.width(), size.height());
            const QRect returned = effects::stampTextInk(picture, form, at, colour);
            const Pixels changed = changedPixels(
                test_pictures::coordinates(size.width(), size.height()), picture, colour);
            EXPECT_EQ(changed, expected) << at.x() << "," << at.y();
            EXPECT_EQ(returned, boundingBox(changed));
        }
    }
}

}  // namespace
