// The geometry of the face adjustments on synthetic faces: the average face turned, scaled and
// placed in a picture, so no landmark model is needed.
#include <gtest/gtest.h>

#include <QImage>
#include <QLineF>
#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "effects/bilinear_sampler.h"
#include "face/face_adjustments.h"
#include "face/face_shape.h"
#include "face/face_warp.h"

namespace {

using face::Adjustment;
using face::FaceSettings;
using face::Landmarks;
using face::Similarity;

Similarity placing(double scale, double degrees, QPointF at) {
    const double angle = degrees * std::numbers::pi / 180;
    return {scale * std::cos(angle), scale * std::sin(angle), at.x(), at.y()};
}

Landmarks mapped(const Similarity& s, const Landmarks& shape) {
    Landmarks result;
    for (int i = 0; i < face::kLandmarkCount; ++i) {
        result[i] = s.map(shape[i]);
    }
    return result;
}

// The rectangle spanned by the points (QRectF's union skips empty rectangles, so it is
// built by hand).
template <class Points>
QRectF boundsOf(const Points& points) {
    double left = points[0].x(), right = left, top = points[0].y(), bottom = top;
    for (const QPointF& p : points) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

// The average face placed by `s` (its box is that of its landmarks).
face::FoundFace syntheticFace(const Similarity& s, const Landmarks& shape = face::averageFace()) {
    const Landmarks points = mapped(s, shape);
    return {boundsOf(points), points};
}

// A picture whose every channel changes from pixel to pixel, so any resample shows.
QImage texture(int width, int height) {
    QImage picture(width, height, QImage::Format_BGR888);
    for (int y = 0; y < height; ++y) {
        uchar* line = picture.scanLine(y);
        for (int x = 0; x < width; ++x) {
            line[3 * x] = static_cast<uchar>(x * 7 + y * 3);
            line[3 * x + 1] = static_cast<uchar>((x / 5 + y / 3) * 37);
            line[3 * x + 2] = static_cast<uchar>(x * y / 11 + x);
        }
    }
    return picture;
}

bool sameBits(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.format() != b.format()) {
        return false;
    }
    for (int y = 0; y < a.height(); ++y) {
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y),
                        3 * static_cast<size_t>(a.width())) != 0) {
            return false;
        }
    }
    return true;
}

bool sameBits(const Landmarks& a, const Landmarks& b) {
    return std::memcmp(a.data(), b.data(), sizeof a) == 0;
}

// Exact equality (QPointF's == allows for rounding).
bool same(QPointF a, QPointF b) {
    return a.x() == b.x() && a.y() == b.y();
}

FaceSettings with(std::initializer_list<std::pair<Adjustment, int>> values) {
    FaceSettings s;
    for (const auto& [a, v] : values) {
        s[a] = v;
    }
    return s;
}

// ---- the similarity ----

TEST(FaceGeometry, AlignmentRecoversAKnownSimilarity) {
    const Landmarks& average = face::averageFace();
    const struct {
        double scale, degrees;
        QPointF at;
    } cases[] = {{1, 0, {0, 0}},           {850, 0, {3000, 2000}}, {240, 17, {-40, 900}},
                 {0.02, -75, {0.5, 0.25}}, {610, 160, {80, 75}},   {1300, -179, {5000, 10}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "scale " << c.scale << ", " << c.degrees << " deg");
        const Similarity known = placing(c.scale, c.degrees, c.at);
        const Landmarks placed = mapped(known, average);
        const Similarity found = face::alignShapes(average, placed);
        const double tolerance = 1e-9 * std::max(1.0, c.scale);
        EXPECT_NEAR(found.a, known.a, tolerance);
        EXPECT_NEAR(found.b, known.b, tolerance);
        EXPECT_NEAR(found.tx, known.tx, 1e3 * tolerance);
        EXPECT_NEAR(found.ty, known.ty, 1e3 * tolerance);
        EXPECT_NEAR(found.scale(), c.scale, tolerance);

        // The other way round gives the inverse, and the inverse undoes the map.
        const Similarity back = face::alignShapes(placed, average);
        const Similarity inverse = known.inverse();
        EXPECT_NEAR(back.a, inverse.a, 1e-9 / c.scale);
        EXPECT_NEAR(back.b, inverse.b, 1e-9 / c.scale);
        EXPECT_NEAR(back.tx, inverse.tx, 1e-6);
        EXPECT_NEAR(back.ty, inverse.ty, 1e-6);
        for (int i = 0; i < face::kLandmarkCount; i += 7) {
            const QPointF there = inverse.map(placed[i]);
            EXPECT_NEAR(there.x(), average[i].x(), 1e-9);
            EXPECT_NEAR(there.y(), average[i].y(), 1e-9);
        }
    }
}

// On a shape that no similarity fits exactly, the fit is the least-squares one: nudging any of
// its four parameters makes the squared error larger.
TEST(FaceGeometry, AlignmentIsTheLeastSquaresFit) {
    Landmarks noisy = mapped(placing(300, 30, {400, 300}), face::averageFace());
    uint32_t state = 7;
    for (QPointF& p : noisy) {
        state = state * 1664525u + 1013904223u;
        p += QPointF(static_cast<int>(state >> 24) % 13 - 6, static_cast<int>(state >> 16) % 9 - 4);
    }
    const Landmarks& average = face::averageFace();
    const auto error = [&](const Similarity& s) {
        double sum = 0;
        for (int i = 0; i < face::kLandmarkCount; ++i) {
            const QPointF d = s.map(average[i]) - noisy[i];
            sum += d.x() * d.x() + d.y() * d.y();
        }
        return sum;
    };
    const Similarity best = face::alignShapes(average, noisy);
    const double least = error(best);
    EXPECT_GT(least, 1.0);  // the noise is not fitted away
    for (int parameter = 0; parameter < 4; ++parameter) {
        for (const double step : {-1e-3, 1e-3}) {
            Similarity nudged = best;
            double* values[] = {&nudged.a, &nudged.b, &nudged.tx, &nudged.ty};
            *values[parameter] += step * (parameter < 2 ? 300 : 1);
            EXPECT_GT(error(nudged), least) << "parameter " << parameter << " by " << step;
        }
    }
}

// ---- the adjustments ----

TEST(FaceGeometry, AdjustmentTableNamesEveryParameterOnce) {
    const std::pair<const char*, const char*> expected[] = {
        {"Caricature", "caricature"},
        {"Eye size", "eye-size"},
        {"Eye height", "eye-height"},
        {"Eye width", "eye-width"},
        {"Eye tilt", "eye-tilt"},
        {"Eye distance", "eye-distance"},
        {"Nose height", "nose-height"},
        {"Nose width", "nose-width"},
        {"Smile", "smile"},
        {"Upper lip", "upper-lip"},
        {"Lower lip", "lower-lip"},
        {"Mouth width", "mouth-width"},
        {"Mouth height", "mouth-height"},
        {"Forehead", "forehead"},
        {"Chin height", "chin-height"},
        {"Jawline", "jawline"},
        {"Face width", "face-width"},
    };
    const auto& table = face::adjustmentTable();
    for (size_t i = 0; i < table.size(); ++i) {
        const face::AdjustmentInfo& info = table[i];
        SCOPED_TRACE(std::string(info.word));
        EXPECT_EQ(static_cast<size_t>(info.id), i);
        EXPECT_EQ(info.label, expected[i].first);
        EXPECT_EQ(info.word, expected[i].second);
        EXPECT_EQ(info.minimum, -100);
        EXPECT_EQ(info.maximum, info.id == Adjustment::Caricature ? 300 : 100);
        EXPECT_EQ(face::findAdjustment(info.word), &info);
    }
    EXPECT_EQ(face::findAdjustment("eye"), nullptr);
    EXPECT_EQ(face::findAdjustment("Eye size"), nullptr);
    EXPECT_EQ(face::findAdjustment(""), nullptr);
}

TEST(FaceGeometry, EveryValueZeroIsTheIdentityBitForBit) {
    const QImage picture = texture(500, 420);
    FaceSettings apartButZero;
    apartButZero.eyesApart = true;
    FaceSettings secondEyeIgnored;  // the second eye's values count only with eyesApart
    secondEyeIgnored.secondEye = {40, -30, 20, 10, 90};
    for (const FaceSettings& settings : {FaceSettings{}, apartButZero, secondEyeIgnored}) {
        EXPECT_TRUE(settings.isIdentity());
        for (const Similarity& s :
             {placing(230, 0, {140, 120}), placing(180.3, -33.7, {260.1, 99.9}),
              placing(410, 95, {400, 50})}) {
            const face::FoundFace found = syntheticFace(s);
            EXPECT_TRUE(sameBits(face::targetLandmarks(found, settings), found.points));
            std::vector<face::FaceMove> moves{face::faceMove(found, settings)};
            EXPECT_TRUE(sameBits(moves[0].from, found.points));
            EXPECT_TRUE(sameBits(moves[0].to, found.points));
            for (const auto& [from, to] : moves[0].extra) {
                EXPECT_EQ(std::memcmp(&from, &to, sizeof from), 0);
            }
            EXPECT_EQ(face::limitToNoFold(picture.size(), moves), 1.0);
            const face::FaceWarp warp(picture.size(), moves);
            EXPECT_TRUE(warp.touchedRegion().isEmpty());
            EXPECT_FALSE(warp.folds());
            EXPECT_TRUE(sameBits(warp.apply(picture), picture));
            EXPECT_TRUE(same(warp.sourceOf(123.25, 77.5), QPointF(123.25, 77.5)));
        }
    }
    FaceSettings secondEyeOnly = apartButZero;
    secondEyeOnly.secondEye[2] = 1;
    EXPECT_FALSE(secondEyeOnly.isIdentity());
    EXPECT_FALSE(with({{Adjustment::FaceWidth, -1}}).isIdentity());
}

// A face and its targets seen in the face's own frame (x to its left-to-right, y down), where
// the measures below are taken.
struct Seen {
    Landmarks points;
    std::vector<QPointF> extraFrom, extraTo;

    QPointF centre(int first, int last) const {
        QPointF sum;
        for (int i = first; i <= last; ++i) {
            sum += points[i];
        }
        return sum / (last - first + 1);
    }
    double spread(int first, int last) const {
        double sum = 0;
        for (int i = first; i <= last; ++i) {
            sum += QLineF(points[i], centre(first, last)).length();
        }
        return sum;
    }
};

TEST(FaceGeometry, EachSliderMovesOnlyItsGroupTheRightWay) {
    using Measure = std::function<double(const Seen&)>;
    const auto leftEye = [](const Seen& s) { return s.centre(36, 41); };
    const auto rightEye = [](const Seen& s) { return s.centre(42, 47); };
    const struct Row {
        Adjustment slider;
        std::vector<int> group;  // the landmarks it may move
        Measure measure;         // grows with the value
    } rows[] = {
        {Adjustment::EyeSize,
         {36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47},
         [](const Seen& s) { return s.spread(36, 41) + s.spread(42, 47); }},
        {Adjustment::EyeHeight,
         {36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47},
         [&](const Seen& s) { return -leftEye(s).y() - rightEye(s).y(); }},
        {Adjustment::EyeWidth,
         {36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47},
         [](const Seen& s) {
             return (s.points[39].x() - s.points[36].x()) / (s.points[41].y() - s.points[37].y()) +
                    (s.points[45].x() - s.points[42].x()) / (s.points[46].y() - s.points[44].y());
         }},
        {Adjustment::EyeTilt,
         {36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47},
         [](const Seen& s) {
             return (s.points[39].y() - s.points[36].y()) + (s.points[42].y() - s.points[45].y());
         }},
        {Adjustment::EyeDistance,
         {36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47},
         [&](const Seen& s) { return rightEye(s).x() - leftEye(s).x(); }},
        {Adjustment::NoseHeight,
         {28, 29, 30, 31, 32, 33, 34, 35},
         [](const Seen& s) { return s.points[33].y() - s.points[27].y(); }},
        {Adjustment::NoseWidth,
         {31, 32, 34, 35},
         [](const Seen& s) { return s.points[35].x() - s.points[31].x(); }},
        {Adjustment::Smile,
         {48, 49, 53, 54, 55, 59, 60, 64},
         [](const Seen& s) {
             const double lift = (s.points[51].y() + s.points[57].y()) / 2 -
                                 (s.points[48].y() + s.points[54].y()) / 2;
             return lift + (s.points[54].x() - s.points[48].x());
         }},
        {Adjustment::UpperLip,
         {49, 50, 51, 52, 53},
         [](const Seen& s) { return s.points[62].y() - s.points[51].y(); }},
        {Adjustment::LowerLip,
         {55, 56, 57, 58, 59},
         [](const Seen& s) { return s.points[57].y() - s.points[66].y(); }},
        {Adjustment::MouthWidth,
         {48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64, 65, 66, 67},
         [](const Seen& s) { return s.points[54].x() - s.points[48].x(); }},
        {Adjustment::MouthHeight,
         {48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64, 65, 66, 67},
         [](const Seen& s) { return s.points[57].y() - s.points[51].y(); }},
        {Adjustment::Forehead,
         {},
         [](const Seen& s) {
             double lift = 0;
             for (size_t i = 0; i < s.extraFrom.size(); ++i) {
                 lift += s.extraFrom[i].y() - s.extraTo[i].y();
             }
             return lift;
         }},
        {Adjustment::ChinHeight,
         {6, 7, 8, 9, 10},
         [](const Seen& s) { return s.points[8].y() - s.points[33].y(); }},
        {Adjustment::Jawline,
         {4, 5, 6, 7, 9, 10, 11, 12},
         [](const Seen& s) { return s.points[11].x() - s.points[5].x(); }},
        {Adjustment::FaceWidth,
         {0, 1, 2, 3, 4, 12, 13, 14, 15, 16},
         [](const Seen& s) { return s.points[15].x() - s.points[1].x(); }},
    };
    ASSERT_EQ(std::size(rows), static_cast<size_t>(face::kAdjustmentCount - 1));

    for (const double degrees : {0.0, -28.0, 140.0}) {
        const Similarity place = placing(370, degrees, {900, 700});
        const Similarity back = place.inverse();
        const face::FoundFace found = syntheticFace(place);
        const auto seen = [&](const face::FaceMove& move, bool targets) {
            Seen s{mapped(back, targets ? move.to : move.from), {}, {}};
            for (const auto& [from, to] : move.extra) {
                s.extraFrom.push_back(back.map(from));
                s.extraTo.push_back(back.map(to));
            }
            return s;
        };
        for (const Row& row : rows) {
            SCOPED_TRACE(testing::Message()
                         << face::adjustmentTable()[static_cast<size_t>(row.slider)].word << " at "
                         << degrees << " deg");
            const std::set<int> group(row.group.begin(), row.group.end());
            const double before = row.measure(seen(face::faceMove(found, {}), true));
            std::vector<double> measured;
            for (const int value : {-100, -40, 40, 100}) {
                const face::FaceMove move = face::faceMove(found, with({{row.slider, value}}));
                bool anyMoved = false;
                for (int i = 0; i < face::kLandmarkCount; ++i) {
                    const bool kept = same(move.to[i], found.points[i]);
                    if (!group.contains(i)) {
                        EXPECT_TRUE(kept) << "landmark " << i << " at " << value;
                    } else {
                        anyMoved |= !kept;
                    }
                }
                EXPECT_EQ(anyMoved, !group.empty()) << value;
                measured.push_back(row.measure(seen(move, true)));
            }
            EXPECT_LT(measured[0], measured[1]);
            EXPECT_LT(measured[1], before);
            EXPECT_LT(before, measured[2]);
            EXPECT_LT(measured[2], measured[3]);
        }
    }
}

// With eyesApart each eye follows its own five values.
TEST(FaceGeometry, EyesApartMoveEachEyeByItsOwnValues) {
    const face::FoundFace found = syntheticFace(placing(300, 12, {500, 400}));
    for (int slider = 0; slider < 5; ++slider) {
        FaceSettings first;
        first.eyesApart = true;
        first.values[static_cast<size_t>(Adjustment::EyeSize) + static_cast<size_t>(slider)] = 70;
        FaceSettings second;
        second.eyesApart = true;
        second.secondEye[static_cast<size_t>(slider)] = 70;
        FaceSettings both = first;
        both.eyesApart = false;
        const Landmarks a = face::targetLandmarks(found, first);
        const Landmarks b = face::targetLandmarks(found, second);
        const Landmarks ab = face::targetLandmarks(found, both);
        for (int i = 0; i < face::kLandmarkCount; ++i) {
            const bool onLeft = i >= 36 && i <= 41, onRight = i >= 42 && i <= 47;
            if (!onLeft) {
                EXPECT_TRUE(same(a[i], found.points[i])) << i;
            }
            if (!onRight) {
                EXPECT_TRUE(same(b[i], found.points[i])) << i;
            }
            // Apart, each eye moves as it does when both eyes share the value.
            if (onRight) {
                EXPECT_TRUE(same(b[i], ab[i])) << i;
            }
            if (onLeft) {
                EXPECT_TRUE(same(a[i], ab[i])) << i;
            }
        }
        EXPECT_FALSE(same(a[38], found.points[38]));
        EXPECT_FALSE(same(b[44], found.points[44]));
    }
}

// In the frame aligned to the average face the caricature multiplies every landmark's
// difference from the average face by 1 + k / 100.
TEST(FaceGeometry, CaricatureScalesTheDifferenceFromTheAverage) {
    Landmarks odd = face::averageFace();
    const double unit = QLineF(odd[0], odd[16]).length();
    for (int i = 31; i <= 35; ++i) {
        odd[i].rx() += (i - 33) * 0.03 * unit;  // a wide nose
    }
    for (int i = 0; i <= 16; ++i) {
        odd[i].ry() += 0.02 * unit * (i % 3);  // an uneven jaw
    }
    odd[57].ry() += 0.04 * unit;
    const face::FoundFace found = syntheticFace(placing(420, -21, {800, 600}), odd);
    const Similarity align = face::alignShapes(found.points, face::averageFace());
    const Landmarks& average = face::averageFace();
    for (const int k : {-100, -60, 35, 100, 300}) {
        SCOPED_TRACE(k);
        const Landmarks target = face::targetLandmarks(found, with({{Adjustment::Caricature, k}}));
        double largest = 0;
        for (int i = 0; i < face::kLandmarkCount; ++i) {
            const QPointF want = (1 + k / 100.0) * (align.map(found.points[i]) - average[i]);
            const QPointF got = align.map(target[i]) - average[i];
            EXPECT_NEAR(got.x(), want.x(), 1e-9 * unit);
            EXPECT_NEAR(got.y(), want.y(), 1e-9 * unit);
            largest = std::max(largest, QLineF(target[i], found.points[i]).length());
        }
        EXPECT_GT(largest, 1.0);
    }
}

// ---- the warp ----

struct Scene {
    const char* name;
    QSize size;
    std::vector<face::FoundFace> faces;
    size_t moving = faces.size();  // the faces after these keep still
};

std::vector<Scene> scenes() {
    return {
        {"centred", {480, 400}, {syntheticFace(placing(200, 8, {140, 100}))}},
        {"at the top left corner", {420, 360}, {syntheticFace(placing(190, -15, {-30, -60}))}},
        {"at the bottom right corner", {300, 260}, {syntheticFace(placing(210, 25, {190, 130}))}},
        {"two faces apart",
         {640, 360},
         {syntheticFace(placing(150, 0, {40, 90})), syntheticFace(placing(130, 20, {420, 110}))}},
        {"two faces close",
         {520, 360},
         {syntheticFace(placing(150, 0, {40, 90})), syntheticFace(placing(140, -10, {225, 130}))}},
        {"a still face beside",
         {520, 360},
         {syntheticFace(placing(150, 0, {40, 90})), syntheticFace(placing(140, -10, {225, 130}))},
         1},
        {"a picture one row high", {120, 1}, {syntheticFace(placing(100, 0, {10, -50}))}},
        {"a picture one column wide", {1, 90}, {syntheticFace(placing(80, 0, {-40, 10}))}},
        {"a picture of two by two", {2, 2}, {syntheticFace(placing(3, 0, {-0.5, -1}))}},
    };
}

std::vector<face::FaceMove> movesOf(const Scene& scene, const FaceSettings& settings) {
    std::vector<face::FaceMove> moves;
    for (size_t i = 0; i < scene.faces.size(); ++i) {
        moves.push_back(
            face::faceMove(scene.faces[i], i < scene.moving ? settings : FaceSettings{}));
    }
    return moves;
}

// The ring of a move: 1.6 times the face's extent (box, landmarks before and after, forehead
// points) about its centre, allowing for the grid's rounding.
QRectF ringOf(const face::FaceMove& move) {
    std::vector<QPointF> all(move.from.begin(), move.from.end());
    all.insert(all.end(), move.to.begin(), move.to.end());
    all.push_back(move.box.topLeft());
    all.push_back(move.box.bottomRight());
    for (const auto& [from, to] : move.extra) {
        all.push_back(from);
        all.push_back(to);
    }
    const QRectF core = boundsOf(all);
    const QPointF c = core.center();
    return QRectF(c.x() - 0.8 * core.width() - 8, c.y() - 0.8 * core.height() - 8,
                  1.6 * core.width() + 16, 1.6 * core.height() + 16);
}

// Every pixel is either copied (where the map is the identity) or the program's sampler read
// at sourceOf(); only pixels inside a moving face's ring move.
TEST(FaceWarp, ResamplesOnceInsideTheRingsAndCopiesTheRest) {
    const FaceSettings settings = with({{Adjustment::Caricature, 80},
                                        {Adjustment::Smile, 60},
                                        {Adjustment::EyeSize, 50},
                                        {Adjustment::Forehead, 70},
                                        {Adjustment::FaceWidth, -40}});
    for (const Scene& scene : scenes()) {
        SCOPED_TRACE(scene.name);
        const QImage picture = texture(scene.size.width(), scene.size.height());
        std::vector<face::FaceMove> moves = movesOf(scene, settings);
        EXPECT_EQ(face::limitToNoFold(scene.size, moves), 1.0);
        const face::FaceWarp warp(scene.size, moves);
        const QImage out = warp.apply(picture);
        ASSERT_EQ(out.size(), picture.size());
        ASSERT_EQ(out.format(), QImage::Format_BGR888);
        std::vector<QRectF> rings;
        for (size_t i = 0; i < scene.moving; ++i) {
            rings.push_back(ringOf(moves[i]));
        }
        const QRect region = warp.touchedRegion();
        EXPECT_FALSE(region.isEmpty());

        int changed = 0, wrong = 0, outside = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                const uchar* got = out.constScanLine(y) + 3 * x;
                const uchar* was = picture.constScanLine(y) + 3 * x;
                const QPointF at = warp.sourceOf(x, y);
                uint32_t want;
                if (same(at, QPointF(x, y))) {
                    want = static_cast<uint32_t>(was[2] | was[1] << 8 | was[0] << 16);
                } else {
                    wrong += !region.contains(x, y);
                    outside += std::none_of(rings.begin(), rings.end(),
                                            [&](const QRectF& r) { return r.contains(x, y); });
                    double sx = at.x(), sy = at.y();
                    want = effects::sampleBilinear(sx, sy, picture);
                }
                const uint32_t have = static_cast<uint32_t>(got[2] | got[1] << 8 | got[0] << 16);
                wrong += have != want;
                changed += std::memcmp(got, was, 3) != 0;
            }
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(outside, 0);
        const int area = region.width() * region.height();
        EXPECT_GT(changed, area < 1000 ? 0 : area / 10);
        // A still face inside another's ring stays where it is.
        for (size_t i = scene.moving; i < moves.size(); ++i) {
            for (const QPointF& p : moves[i].from) {
                EXPECT_LT(QLineF(warp.sourceOf(p.x(), p.y()), p).length(), 0.5);
            }
        }
    }
}

// sourceOf(target) is the landmark's place before, within half a pixel, for each slider at both
// ends, the caricature at both ends and a mix; at several face sizes.
TEST(FaceWarp, LandmarksLandOnTheirTargets) {
    std::vector<FaceSettings> table;
    for (const auto& info : face::adjustmentTable()) {
        table.push_back(with({{info.id, info.minimum}}));
        table.push_back(with({{info.id, info.maximum}}));
    }
    table.push_back(with({{Adjustment::Caricature, 120},
                          {Adjustment::EyeSize, 60},
                          {Adjustment::Smile, 80},
                          {Adjustment::ChinHeight, -70},
                          {Adjustment::NoseWidth, 50},
                          {Adjustment::Forehead, -60}}));
    const struct {
        double scale;
        QSize size;
    } faces[] = {{90, {260, 260}}, {330, {800, 700}}, {1250, {2600, 2400}}};
    for (const auto& f : faces) {
        const Scene scene{
            "",
            f.size,
            {syntheticFace(placing(f.scale, 11, {f.size.width() * 0.3, f.size.height() * 0.25}))}};
        for (const FaceSettings& settings : table) {
            std::vector<face::FaceMove> moves = movesOf(scene, settings);
            const double kept = face::limitToNoFold(scene.size, moves);
            const face::FaceWarp warp(scene.size, moves);
            double worst = 0;
            for (const face::FaceMove& move : moves) {
                for (int i = 0; i < face::kLandmarkCount; ++i) {
                    worst = std::max(
                        worst, QLineF(warp.sourceOf(move.to[i].x(), move.to[i].y()), move.from[i])
                                   .length());
                }
                for (const auto& [from, to] : move.extra) {
                    worst = std::max(worst, QLineF(warp.sourceOf(to.x(), to.y()), from).length());
                }
            }
            EXPECT_LT(worst, 0.5) << "face " << f.scale << ", limited to " << kept;
        }
    }
}

// The smallest Jacobian determinant of sourceOf by central differences on a lattice over the
// region: an independent check of folds().
double smallestJacobian(const face::FaceWarp& warp) {
    const QRect r = warp.touchedRegion();
    double smallest = 1;
    for (double y = r.top() + 0.75; y < r.bottom(); y += 1.5) {
        for (double x = r.left() + 0.75; x < r.right(); x += 1.5) {
            const QPointF dx = warp.sourceOf(x + 0.5, y) - warp.sourceOf(x - 0.5, y);
            const QPointF dy = warp.sourceOf(x, y + 0.5) - warp.sourceOf(x, y - 0.5);
            smallest = std::min(smallest, dx.x() * dy.y() - dx.y() * dy.x());
        }
    }
    return smallest;
}

TEST(FaceWarp, ExtremeCombinationsNeverFoldOnceLimited) {
    const Scene scene{"", {420, 420}, {syntheticFace(placing(170, -9, {120, 110}))}};
    std::vector<FaceSettings> table;
    uint32_t state = 99;
    for (int k = 0; k < 12; ++k) {
        FaceSettings s;
        for (const auto& info : face::adjustmentTable()) {
            state = state * 1664525u + 1013904223u;
            const int pick = static_cast<int>(state >> 29);  // 0..7
            s[info.id] = pick < 3 ? info.minimum : pick < 6 ? info.maximum : 0;
        }
        s.eyesApart = k % 2 == 1;
        s.secondEye = {100, -100, 100, -100, 100};
        table.push_back(s);
    }
    table.push_back(with({{Adjustment::Caricature, 300},
                          {Adjustment::MouthHeight, 100},
                          {Adjustment::Smile, 100},
                          {Adjustment::LowerLip, -100},
                          {Adjustment::UpperLip, -100},
                          {Adjustment::NoseHeight, 100}}));
    int limited = 0;
    for (const FaceSettings& settings : table) {
        std::vector<face::FaceMove> moves = movesOf(scene, settings);
        const double kept = face::limitToNoFold(scene.size, moves);
        EXPECT_GT(kept, 0);
        EXPECT_LE(kept, 1);
        limited += kept < 1;
        const face::FaceWarp warp(scene.size, moves);
        EXPECT_FALSE(warp.folds());
        EXPECT_GT(smallestJacobian(warp), 0) << "kept " << kept;
    }
    EXPECT_GT(limited, 0);  // the table does reach the limit

    // A landmark thrown across the face folds the map; limited, it no longer does.
    std::vector<face::FaceMove> thrown = movesOf(scene, {});
    thrown[0].to[30] = thrown[0].from[2];
    const face::FaceWarp folded(scene.size, thrown);
    EXPECT_TRUE(folded.folds());
    EXPECT_LT(smallestJacobian(folded), 0);
    const double kept = face::limitToNoFold(scene.size, thrown);
    EXPECT_LT(kept, 1);
    const face::FaceWarp fixed(scene.size, thrown);
    EXPECT_FALSE(fixed.folds());
    EXPECT_GT(smallestJacobian(fixed), 0);
}

// The preview samples the same map: at 100 % over the whole picture it is the applied
// picture, and at other zooms each view pixel is the picture point it shows, read through it.
TEST(FaceWarp, PreviewShowsTheWarpAtTheViewsResolution) {
    const Scene scene = scenes()[0];
    const QImage picture = texture(scene.size.width(), scene.size.height());
    const face::FaceWarp warp(
        scene.size,
        movesOf(scene, with({{Adjustment::Caricature, 100}, {Adjustment::MouthWidth, 70}})));
    const QImage applied = warp.apply(picture);
    EXPECT_TRUE(sameBits(warp.preview(picture, QRect(QPoint(), scene.size), 100), applied));

    const struct {
        double zoom;
        QRect view;
    } views[] = {{50, {0, 0, 240, 200}},
                 {25, {10, 5, 100, 80}},
                 {200, {300, 250, 400, 300}},
                 {137.5, {120, 90, 300, 260}}};
    for (const auto& v : views) {
        SCOPED_TRACE(v.zoom);
        const QImage shown = warp.preview(picture, v.view, v.zoom);
        ASSERT_EQ(shown.size(), v.view.size());
        int wrong = 0;
        for (int r = 0; r < shown.height(); ++r) {
            for (int c = 0; c < shown.width(); ++c) {
                const double x = (v.view.x() + c) * 100 / v.zoom;
                const double y = (v.view.y() + r) * 100 / v.zoom;
                const QPointF at = warp.sourceOf(x, y);
                uint32_t want;
                if (same(at, QPointF(x, y))) {
                    want = picture.pixel(std::min(static_cast<int>(x), picture.width() - 1),
                                         std::min(static_cast<int>(y), picture.height() - 1));
                    want = qRed(want) | qGreen(want) << 8 | qBlue(want) << 16;
                } else {
                    double sx = at.x(), sy = at.y();
                    want = effects::sampleBilinear(sx, sy, picture);
                }
                const uchar* got = shown.constScanLine(r) + 3 * c;
                wrong += static_cast<uint32_t>(got[2] | got[1] << 8 | got[0] << 16) != want;
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

}  // namespace
