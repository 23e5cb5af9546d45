#include "effects/smudge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <random>
#include <stdexcept>

#include "counting_progress.h"
#include "reference_smudge.h"
#include "test_pictures.h"

using test_pictures::at;

namespace {

QImage smudged(QImage picture, int px, int py, int ex, int ey, int radius) {
    effects::NoProgress progress;
    effects::smudge(picture, px, py, ex, ey, radius, progress);
    return picture;
}

std::vector<int> casesOf(const std::vector<effects::SmudgeStroke>& plan) {
    std::vector<int> cases;
    for (const auto& stroke : plan) {
        cases.push_back(stroke.directionCase);
    }
    return cases;
}

// Largest difference of any channel of any pixel.
int largestDifference(const QImage& a, const QImage& b) {
    int largest = 0;
    for (int row = 0; row < a.height(); ++row) {
        for (int i = 0; i < 3 * a.width(); ++i) {
            largest =
                std::max(largest, std::abs(a.constScanLine(row)[i] - b.constScanLine(row)[i]));
        }
    }
    return largest;
}

TEST(Smudge, ShortDragRightHasTheDocumentedDisc) {
    const auto plan = effects::planSmudge(40, 30, 43, 30, 10);
    ASSERT_EQ(casesOf(plan), std::vector<int>{6});
    const effects::SmudgeStroke& s = plan[0];
    EXPECT_EQ(s.length, 3);
    EXPECT_EQ(s.discRadius, 11.5);
    EXPECT_EQ(s.centreX, 41.5);
    EXPECT_EQ(s.centreY, 30);
    EXPECT_EQ(s.ux, 1);
    EXPECT_EQ(s.uy, 0);
    EXPECT_EQ(s.firstColumn, 40 - 9);
    EXPECT_EQ(s.lastColumn, 40 + 12);

    const QImage picture = test_pictures::noise(100, 70, 51);
    QImage result = picture;
    test_progress::Counting progress;
    effects::smudge(result, 40, 30, 43, 30, 10, progress);
    EXPECT_EQ(progress.steps, 22);
    EXPECT_FALSE(test_pictures::samePixels(result, picture));
    for (int row = 0; row < 70; ++row) {
        for (int col = 0; col < 100; ++col) {
            if (col < 31 || col > 52) {
                ASSERT_EQ(at(result, col, row), at(picture, col, row)) << col << ", " << row;
            }
        }
    }
}

TEST(Smudge, PlansEveryDirectionAndShortensLongDrags) {
    struct Drag {
        int ex, ey;
        std::vector<int> cases;
    };
    for (const Drag& d :
         {Drag{30, 35, {1}}, Drag{70, 60, {2}}, Drag{66, 41, {3}}, Drag{39, 58, {4}},
          Drag{44, 50, {5}}, Drag{58, 50, {6}}, Drag{50, 53, {7}}, Drag{50, 20, {8}},
          // Nearly vertical or horizontal: the shortened release point comes
          // back onto the press column or row.
          Drag{51, 300, {2, 7}}, Drag{49, 10, {1, 8}}, Drag{10, 49, {1, 5}}, Drag{90, 51, {2, 6}},
          Drag{200, 49, {3, 6}}, Drag{50, 50, {}}}) {
        const auto plan = effects::planSmudge(50, 50, d.ex, d.ey, 20);
        EXPECT_EQ(casesOf(plan), d.cases) << d.ex << ", " << d.ey;
        for (const auto& s : plan) {
            EXPECT_LE(s.length, 10);
            EXPECT_EQ(s.discRadius, s.length / 2 + 20);
        }
    }
    // A 3-4-5 drag of length 50 counts as one of length 10 towards (56, 58).
    const auto s = effects::planSmudge(50, 50, 80, 90, 20).at(0);
    EXPECT_EQ(s.length, 10);
    EXPECT_EQ(s.releaseX, 56);
    EXPECT_EQ(s.releaseY, 58);
    EXPECT_EQ(s.centreX, 53);
    EXPECT_EQ(s.centreY, 54);
    EXPECT_NEAR(s.ux, 0.6, 1e-15);
    EXPECT_NEAR(s.uy, 0.8, 1e-15);
    // The far corners of the coordinate range: the drag's length must not overflow.
    const auto far = effects::planSmudge(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 40);
    ASSERT_EQ(casesOf(far), std::vector<int>{2});
    EXPECT_EQ(far[0].length, 20);
    EXPECT_EQ(far[0].releaseX, int64_t{INT_MIN} + 14);
    EXPECT_EQ(far[0].columns(), 2 * 50 - 1);
    EXPECT_EQ(effects::planSmudge(0, 0, 5, 0, INT_MAX).at(0).length, 5);
}

// A drag right by 8 with a = 20: L = 8, R = 24, C = (84, 60). On the centre line the content
// of C shows at P = (88, 60); [B, P] = [60, 88] shows [60, 84] and [P, F] = [88, 108] shows
// [84, 108]. Nowhere does content move by more than L / 2, nor backwards, nor across.
TEST(Smudge, CentreLineMovesByHalfTheDragRimAndOutsideStay) {
    const QImage picture = test_pictures::coordinates(200, 120);
    const QImage result = smudged(picture, 80, 60, 88, 60, 20);
    EXPECT_EQ(colour::red(at(result, 88, 60)), 84);
    for (int col = 61; col < 108; ++col) {
        const double source =
            col >= 88 ? 108 - 24.0 * (108 - col) / 20 : 60 + 24.0 * (col - 60) / 28;
        EXPECT_NEAR(colour::red(at(result, col, 60)), source, 0.5 + 1e-9) << col;
    }
    for (int row = 0; row < 120; ++row) {
        for (int col = 0; col < 200; ++col) {
            const uint32_t now = at(result, col, row);
            if (std::hypot(col - 84, row - 60) >= 24) {
                ASSERT_EQ(now, at(picture, col, row)) << col << ", " << row;
            }
            ASSERT_EQ(colour::green(now), row);
            ASSERT_LE(colour::red(now), col);
            ASSERT_GE(colour::red(now), col - 4);
        }
    }
    // The same drag downwards moves the rows only.
    const QImage down = smudged(picture, 60, 40, 60, 48, 20);
    EXPECT_EQ(colour::green(at(down, 60, 48)), 44);
    for (int row = 0; row < 120; ++row) {
        for (int col = 0; col < 200; ++col) {
            const uint32_t now = at(down, col, row);
            ASSERT_EQ(colour::red(now), col);
            ASSERT_LE(colour::green(now), row);
            ASSERT_GE(colour::green(now), row - 4);
        }
    }
}

TEST(Smudge, LongDragEqualsADragOfHalfTheRadius) {
    const QImage picture = test_pictures::noise(120, 100, 52);
    EXPECT_TRUE(test_pictures::samePixels(smudged(picture, 50, 40, 85, 40, 20),
                                          smudged(picture, 50, 40, 60, 40, 20)));
    EXPECT_TRUE(test_pictures::samePixels(smudged(picture, 50, 40, 50 - 60, 40 - 80, 20),
                                          smudged(picture, 50, 40, 44, 32, 20)));
    EXPECT_FALSE(test_pictures::samePixels(smudged(picture, 50, 40, 59, 40, 20),
                                           smudged(picture, 50, 40, 60, 40, 20)));
}

TEST(Smudge, NoDragNoRadiusOrOtherFormatChangeNothing) {
    const QImage picture = test_pictures::noise(60, 50, 53);
    struct Call {
        int px, py, ex, ey, radius;
    };
    for (const Call& c : {Call{30, 20, 30, 20, 20}, Call{30, 20, 40, 28, 0},
                          Call{30, 20, 40, 28, -6}, Call{30, 20, 30, 20, 0}}) {
        QImage copy = picture;  // shares the data: a write would detach it
        test_progress::Counting progress;
        effects::smudge(copy, c.px, c.py, c.ex, c.ey, c.radius, progress);
        EXPECT_EQ(copy.constBits(), picture.constBits());
        EXPECT_EQ(progress.steps, 0);
    }
    EXPECT_TRUE(effects::planSmudge(30, 20, 30, 20, 20).empty());
    EXPECT_TRUE(effects::planSmudge(30, 20, 40, 20, -1).empty());
    EXPECT_EQ(effects::planSmudge(30, 20, 40, 28, 0).at(0).columns(), 0);

    QImage wrongFormat(20, 20, QImage::Format_RGB32);
    wrongFormat.fill(Qt::red);
    const QImage before = wrongFormat.copy();
    test_progress::Counting progress;
    EXPECT_THROW(effects::smudge(wrongFormat, 5, 5, 8, 5, 6, progress), std::invalid_argument);
    EXPECT_EQ(wrongFormat, before);
    EXPECT_EQ(progress.steps, 0);

    QImage empty;
    effects::smudge(empty, 5, 5, 8, 5, 6, progress);
    EXPECT_TRUE(empty.isNull());
    EXPECT_EQ(progress.steps, effects::planSmudge(5, 5, 8, 5, 6).at(0).columns());
}

// The axis case re-runs the disc from the unchanged picture. With an even radius both
// cases have the same disc, so the axis case's result is all that is left.
TEST(Smudge, NearlyAxialDiagonalDragEndsWithTheAxisCase) {
    const QImage picture = test_pictures::noise(120, 110, 54);
    EXPECT_TRUE(test_pictures::samePixels(smudged(picture, 60, 50, 61, 80, 10),
                                          smudged(picture, 60, 50, 60, 55, 10)));
    EXPECT_TRUE(test_pictures::samePixels(smudged(picture, 60, 50, 20, 49, 10),
                                          smudged(picture, 60, 50, 55, 50, 10)));
    // With an odd radius the diagonal case's L = 5.5 and the vertical one's 5 differ: the
    // vertical disc still shows the vertical case alone.
    const auto plan = effects::planSmudge(60, 50, 61, 90, 11);
    ASSERT_EQ(casesOf(plan), (std::vector<int>{2, 7}));
    const effects::SmudgeStroke& vertical = plan[1];
    EXPECT_EQ(plan[0].length, 5.5);
    EXPECT_EQ(vertical.length, 5);
    const QImage both = smudged(picture, 60, 50, 61, 90, 11);
    const QImage alone = smudged(picture, 60, 50, 60, 55, 11);
    for (int64_t col = vertical.firstColumn; col <= vertical.lastColumn; ++col) {
        const double off = vertical.centreX - col;
        const double h = std::sqrt(vertical.discRadius * vertical.discRadius - off * off);
        const auto first = static_cast<int64_t>(std::nearbyint(vertical.centreY - h)) + 1;
        const auto last = static_cast<int64_t>(std::nearbyint(vertical.centreY + h)) - 1;
        for (int64_t row = first; row <= last; ++row) {
            ASSERT_EQ(at(both, col, row), at(alone, col, row)) << col << ", " << row;
        }
    }
    QImage literal = picture;
    reference::smudge(literal, 60, 50, 61, 90, 11);
    EXPECT_TRUE(test_pictures::samePixels(both, literal));
}

// Mirroring picture and drag mirrors the result, up to the last bit of the positions (one
// step of a channel at most). Discs stay off the borders, where the sampler is one-sided.
TEST(Smudge, MirroredDragGivesTheMirroredResult) {
    const QImage picture = test_pictures::noise(121, 101, 55);
    struct Drag {
        int px, py, ex, ey;
    };
    for (const Drag& d :
         {Drag{60, 50, 45, 38}, Drag{60, 50, 71, 66}, Drag{60, 50, 52, 50}, Drag{60, 50, 90, 50},
          Drag{60, 50, 60, 57}, Drag{60, 50, 60, 20}, Drag{60, 50, 61, 80}}) {
        for (const bool horizontally : {true, false}) {
            const int mx = horizontally ? 120 - d.px : d.px;
            const int my = horizontally ? d.py : 100 - d.py;
            const int mex = horizontally ? 120 - d.ex : d.ex;
            const int mey = horizontally ? d.ey : 100 - d.ey;
            const QImage result = smudged(picture, d.px, d.py, d.ex, d.ey, 24);
            const QImage mirrored =
                smudged(picture.mirrored(horizontally, !horizontally), mx, my, mex, mey, 24);
            EXPECT_FALSE(test_pictures::samePixels(result, picture));
            EXPECT_LE(largestDifference(mirrored, result.mirrored(horizontally, !horizontally)), 1)
                << d.ex << ", " << d.ey << (horizontally ? " left-right" : " top-bottom");
        }
    }
}

// Column 0 and points P above or left of the picture take the side of P along the drag:
// the same picture moved 60 pixels right and down, its new margins repeating the edge
// pixels (as the sampler's clamping does), gives the same result under the corner tests.
TEST(Smudge, ColumnZeroAndFarPointsTakeTheSideAlongTheDrag) {
    const QImage picture = test_pictures::noise(90, 80, 56);
    constexpr int kShift = 60;
    QImage moved(90 + kShift, 80 + kShift, QImage::Format_BGR888);
    for (int row = 0; row < moved.height(); ++row) {
        for (int col = 0; col < moved.width(); ++col) {
            test_pictures::put(moved, col, row,
                               at(picture, std::max(col - kShift, 0), std::max(row - kShift, 0)));
        }
    }
    struct Drag {
        int px, py, ex, ey;
    };
    for (const Drag& d :
         {Drag{12, 14, 2, 4}, Drag{2, 3, 14, 20}, Drag{3, 40, 20, 28}, Drag{20, 10, 4, 24},
          // Centres beyond the top-left corner: P lies further from it than the pixels.
          Drag{-5, -5, -20, -20}, Drag{-20, -20, -5, -5}}) {
        const QImage result = smudged(picture, d.px, d.py, d.ex, d.ey, 30);
        const QImage there =
            smudged(moved, d.px + kShift, d.py + kShift, d.ex + kShift, d.ey + kShift, 30);
        int changedAtColumnZero = 0;
        for (int row = 0; row < 80; ++row) {
            changedAtColumnZero += at(result, 0, row) != at(picture, 0, row);
        }
        EXPECT_GT(changedAtColumnZero, 10);
        EXPECT_LE(largestDifference(result, there.copy(kShift, kShift, 90, 80)), 1)
            << d.px << ", " << d.py;
    }
}

TEST(Smudge, ProgressStepsPerColumnOnTheCallingThread) {
    const QImage picture = test_pictures::noise(700, 500, 57);
    struct Call {
        int px, py, ex, ey, radius;
    };
    // Large discs, shared between threads; a diagonal and an axis case; discs partly or
    // wholly outside the picture.
    for (const Call& c : {Call{350, 250, 450, 250, 200}, Call{350, 250, 351, 500, 200},
                          Call{-100, 480, -20, 600, 150}, Call{3000, -3000, 2990, -3000, 50},
                          Call{INT_MAX, INT_MIN, INT_MIN, INT_MAX, 30}}) {
        QImage fast = picture;
        test_progress::Counting progress;
        effects::smudge(fast, c.px, c.py, c.ex, c.ey, c.radius, progress);
        int64_t columns = 0;
        for (const auto& stroke : effects::planSmudge(c.px, c.py, c.ex, c.ey, c.radius)) {
            columns += stroke.columns();
        }
        EXPECT_EQ(progress.steps, columns);
        EXPECT_EQ(progress.foreignSteps, 0);
        if (c.px > -5000 && c.px < 5000) {
            QImage literal = picture;
            EXPECT_EQ(reference::smudge(literal, c.px, c.py, c.ex, c.ey, c.radius), columns);
            EXPECT_TRUE(test_pictures::samePixels(fast, literal)) << c.px << ", " << c.py;
        } else {
            EXPECT_TRUE(test_pictures::samePixels(fast, picture));
        }
    }
}

// The strongest check: every pixel against the literal reading, on random strokes of all
// directions (axis-parallel and nearly so included), over the borders and on thin pictures.
TEST(Smudge, MatchesTheLiteralReadingOnRandomStrokes) {
    std::mt19937 random(58);
    auto uniform = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    struct Size {
        int w, h, strokes;
    };
    for (const Size& size :
         {Size{97, 83, 160}, Size{64, 64, 60}, Size{1, 30, 20}, Size{30, 1, 20}, Size{2, 2, 20}}) {
        const QImage picture = test_pictures::noise(size.w, size.h, uniform(0, 1000));
        for (int n = 0; n < size.strokes; ++n) {
            const int radius = n % 25 == 24 ? uniform(-3, 0) : uniform(1, 60);
            const int px = uniform(-25, size.w + 25);
            const int py = uniform(-25, size.h + 25);
            int dx = uniform(-45, 45);
            int dy = uniform(-45, 45);
            switch (n % 4) {
                case 0:  // along an axis
                    (uniform(0, 1) ? dx : dy) = 0;
                    break;
                case 1:  // nearly along one
                    (uniform(0, 1) ? dx : dy) = uniform(0, 1) ? 1 : -1;
                    break;
                case 2:  // far beyond half the radius
                    dx *= 9;
                    dy *= 9;
                    break;
            }
            QImage fast = picture;
            test_progress::Counting progress;
            effects::smudge(fast, px, py, px + dx, py + dy, radius, progress);
            QImage literal = picture;
            const int64_t steps = reference::smudge(literal, px, py, px + dx, py + dy, radius);
            ASSERT_TRUE(test_pictures::samePixels(fast, literal))
                << size.w << "x" << size.h << ": " << px << ", " << py << " by " << dx << ", " << dy
                << " radius " << radius;
            ASSERT_EQ(progress.steps, steps);
        }
    }
}

}  // namespace
