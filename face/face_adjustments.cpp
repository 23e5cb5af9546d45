#include "face/face_adjustments.h"

#include <QLineF>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "face/face_shape.h"
#include "face/face_warp.h"

namespace face {

namespace {

constexpr std::array<AdjustmentInfo, kAdjustmentCount> kTable{{
    {Adjustment::Caricature, "Caricature", "caricature", -100, 300},
    {Adjustment::EyeSize, "Eye size", "eye-size", -100, 100},
    {Adjustment::EyeHeight, "Eye height", "eye-height", -100, 100},
    {Adjustment::EyeWidth, "Eye width", "eye-width", -100, 100},
    {Adjustment::EyeTilt, "Eye tilt", "eye-tilt", -100, 100},
    {Adjustment::EyeDistance, "Eye distance", "eye-distance", -100, 100},
    {Adjustment::NoseHeight, "Nose height", "nose-height", -100, 100},
    {Adjustment::NoseWidth, "Nose width", "nose-width", -100, 100},
    {Adjustment::Smile, "Smile", "smile", -100, 100},
    {Adjustment::UpperLip, "Upper lip", "upper-lip", -100, 100},
    {Adjustment::LowerLip, "Lower lip", "lower-lip", -100, 100},
    {Adjustment::MouthWidth, "Mouth width", "mouth-width", -100, 100},
    {Adjustment::MouthHeight, "Mouth height", "mouth-height", -100, 100},
    {Adjustment::Forehead, "Forehead", "forehead", -100, 100},
    {Adjustment::ChinHeight, "Chin height", "chin-height", -100, 100},
    {Adjustment::Jawline, "Jawline", "jawline", -100, 100},
    {Adjustment::FaceWidth, "Face width", "face-width", -100, 100},
}};

// Landmark ranges of the annotation (first, last inclusive).
constexpr int kJawFirst = 0, kJawLast = 16, kChin = 8;
constexpr int kBrowsFirst = 17, kBrowsLast = 26;
constexpr int kNoseTop = 27, kNoseFirst = 28, kNostrilsFirst = 31, kNostrilsLast = 35;
constexpr int kNoseTip = 33;
constexpr int kLeftEyeFirst = 36, kRightEyeFirst = 42, kEyePoints = 6;
constexpr int kMouthFirst = 48, kMouthLast = 67;
constexpr int kMouthLeft = 48, kMouthRight = 54, kInnerLeft = 60, kInnerRight = 64;

using Shape = Landmarks;

QPointF centreOf(const Shape& shape, int first, int last) {
    QPointF sum;
    for (int i = first; i <= last; ++i) {
        sum += shape[i];
    }
    return sum / (last - first + 1);
}

double browLine(const Shape& shape) {
    return centreOf(shape, kBrowsFirst, kBrowsLast).y();
}

// Lengths of the average face that the amounts are fractions of. In the aligned frame a face
// has the average face's size, so mapped back every amount is proportional to the face.
struct Units {
    double eyeSpan;  // between the eye centres
    double width;    // jaw end to jaw end
    double height;   // brow line to chin
};

Units unitsOf(const Shape& average) {
    return {QLineF(centreOf(average, kLeftEyeFirst, kLeftEyeFirst + kEyePoints - 1),
                   centreOf(average, kRightEyeFirst, kRightEyeFirst + kEyePoints - 1))
                .length(),
            QLineF(average[kJawFirst], average[kJawLast]).length(),
            average[kChin].y() - browLine(average)};
}

// The aligned frame has the average face's orientation: x to the picture's right, y down.
// A factor of 1 leaves that coordinate exactly as it is.
void scaleAbout(Shape& shape, int first, int last, QPointF centre, double fx, double fy) {
    for (int i = first; i <= last; ++i) {
        if (fx != 1) {
            shape[i].setX(centre.x() + fx * (shape[i].x() - centre.x()));
        }
        if (fy != 1) {
            shape[i].setY(centre.y() + fy * (shape[i].y() - centre.y()));
        }
    }
}

void shift(Shape& shape, int first, int last, QPointF by) {
    for (int i = first; i <= last; ++i) {
        shape[i] += by;
    }
}

// One eye's five sliders (t = value / 100), `outward` -1 for the eye on the picture's left.
void adjustEye(Shape& shape, int first, const std::array<int, 5>& values, double outward,
               const Units& units) {
    const int last = first + kEyePoints - 1;
    const auto t = [&](int i) { return values[static_cast<size_t>(i)] / 100.0; };
    if (values[0] != 0) {  // size: about the eye's centre
        const double f = 1 + 0.35 * t(0);
        scaleAbout(shape, first, last, centreOf(shape, first, last), f, f);
    }
    if (values[1] != 0) {  // height: up for positive values
        shift(shape, first, last, {0, -0.10 * t(1) * units.eyeSpan});
    }
    if (values[2] != 0) {  // width: horizontally about the centre
        scaleAbout(shape, first, last, centreOf(shape, first, last), 1 + 0.30 * t(2), 1);
    }
    if (values[3] != 0) {  // tilt: the outer corner up for positive values
        const double angle = -outward * t(3) * 12.0 * std::numbers::pi / 180.0;
        const double c = std::cos(angle), s = std::sin(angle);
        const QPointF centre = centreOf(shape, first, last);
        for (int i = first; i <= last; ++i) {
            const QPointF d = shape[i] - centre;
            shape[i] = centre + QPointF(c * d.x() - s * d.y(), s * d.x() + c * d.y());
        }
    }
    if (values[4] != 0) {  // distance: away from the other eye
        shift(shape, first, last, {outward * 0.08 * t(4) * units.eyeSpan, 0});
    }
}

// Moves point i by `by` times its weight.
void nudge(Shape& shape, std::initializer_list<std::pair<int, double>> weights, QPointF by) {
    for (const auto& [i, weight] : weights) {
        shape[static_cast<size_t>(i)] += weight * by;
    }
}

// The jaw points on either side, moved outwards (inwards for negative amounts).
void widenJaw(Shape& shape, std::initializer_list<std::pair<int, double>> leftWeights,
              double amount) {
    for (const auto& [i, weight] : leftWeights) {
        shape[static_cast<size_t>(i)].rx() -= weight * amount;
        shape[static_cast<size_t>(kJawLast - i)].rx() += weight * amount;
    }
}

void applySliders(Shape& shape, const FaceSettings& settings, const Units& units) {
    const auto value = [&](Adjustment a) { return settings[a]; };
    const auto t = [&](Adjustment a) { return settings[a] / 100.0; };

    std::array<int, 5> eyes;
    for (size_t i = 0; i < eyes.size(); ++i) {
        eyes[i] = settings.values[static_cast<size_t>(Adjustment::EyeSize) + i];
    }
    adjustEye(shape, kLeftEyeFirst, eyes, -1, units);
    adjustEye(shape, kRightEyeFirst, settings.eyesApart ? settings.secondEye : eyes, 1, units);

    if (value(Adjustment::NoseHeight) != 0) {  // longer nose: stretched down from its top
        scaleAbout(shape, kNoseFirst, kNostrilsLast, shape[kNoseTop], 1,
                   1 + 0.15 * t(Adjustment::NoseHeight));
    }
    if (value(Adjustment::NoseWidth) != 0) {
        scaleAbout(shape, kNostrilsFirst, kNostrilsLast, shape[kNoseTip],
                   1 + 0.35 * t(Adjustment::NoseWidth), 1);
    }
    if (value(Adjustment::Smile) != 0) {  // corners up and out, their neighbours half as far
        const double up = -0.06 * t(Adjustment::Smile) * units.eyeSpan;
        const double out = 0.04 * t(Adjustment::Smile) * units.eyeSpan;
        nudge(shape, {{kMouthLeft, 1}, {kInnerLeft, 1}, {49, 0.5}, {59, 0.5}}, {-out, up});
        nudge(shape, {{kMouthRight, 1}, {kInnerRight, 1}, {53, 0.5}, {55, 0.5}}, {out, up});
    }
    if (value(Adjustment::UpperLip) != 0) {  // fuller: the lip's outer edge up
        nudge(shape, {{49, 0.5}, {50, 1}, {51, 1}, {52, 1}, {53, 0.5}},
              {0, -0.05 * t(Adjustment::UpperLip) * units.eyeSpan});
    }
    if (value(Adjustment::LowerLip) != 0) {  // fuller: the lip's outer edge down
        nudge(shape, {{55, 0.5}, {56, 1}, {57, 1}, {58, 1}, {59, 0.5}},
              {0, 0.05 * t(Adjustment::LowerLip) * units.eyeSpan});
    }
    if (value(Adjustment::MouthWidth) != 0) {
        const QPointF centre = (shape[kMouthLeft] + shape[kMouthRight]) / 2;
        scaleAbout(shape, kMouthFirst, kMouthLast, centre, 1 + 0.25 * t(Adjustment::MouthWidth), 1);
    }
    if (value(Adjustment::MouthHeight) != 0) {
        scaleAbout(shape, kMouthFirst, kMouthLast, centreOf(shape, kMouthFirst, kMouthLast), 1,
                   1 + 0.30 * t(Adjustment::MouthHeight));
    }
    if (value(Adjustment::ChinHeight) != 0) {  // longer chin: down
        nudge(shape, {{6, 0.3}, {7, 0.7}, {kChin, 1}, {9, 0.7}, {10, 0.3}},
              {0, 0.08 * t(Adjustment::ChinHeight) * units.height});
    }
    if (value(Adjustment::Jawline) != 0) {  // the lower jaw out
        widenJaw(shape, {{4, 0.5}, {5, 1}, {6, 0.8}, {7, 0.4}},
                 0.06 * t(Adjustment::Jawline) * units.width);
    }
    if (value(Adjustment::FaceWidth) != 0) {  // the sides of the face out
        widenJaw(shape, {{0, 1}, {1, 1}, {2, 1}, {3, 0.8}, {4, 0.5}},
                 0.06 * t(Adjustment::FaceWidth) * units.width);
    }
}

// Points above the brows, half the brow-to-chin height up: where the forehead's top is taken
// to be, as it has no landmarks. The forehead slider moves them up or down from there.
std::vector<QPointF> foreheadPoints(const Shape& shape, double lift) {
    const double up = 0.5 * (shape[kChin].y() - browLine(shape)) + lift;
    std::vector<QPointF> points;
    for (int i = kBrowsFirst; i <= kBrowsLast; ++i) {
        points.emplace_back(shape[i].x(), shape[i].y() - up);
    }
    return points;
}

struct Targets {
    Landmarks points;
    std::vector<std::pair<QPointF, QPointF>> extra;
};

// The targets, and with `withExtra` the forehead's point pairs. Each moved point goes back to
// the picture as its own position plus its move mapped by the inverse similarity's linear
// part, so that a point nothing moves keeps its coordinates exactly.
Targets computeTargets(const FoundFace& face, const FaceSettings& settings, bool withExtra) {
    Targets result{face.points, {}};
    if (settings.isIdentity() && !withExtra) {
        return result;
    }
    const Landmarks& average = averageFace();
    const Units units = unitsOf(average);
    const Similarity toAverage = alignShapes(face.points, average);
    const Similarity back = toAverage.inverse();

    Shape aligned;
    for (int i = 0; i < kLandmarkCount; ++i) {
        aligned[i] = toAverage.map(face.points[i]);
    }
    Shape moved = aligned;
    if (const int k = settings[Adjustment::Caricature]; k != 0) {
        const double f = 1 + k / 100.0;
        for (int i = 0; i < kLandmarkCount; ++i) {
            moved[i] = average[i] + f * (aligned[i] - average[i]);
        }
    }
    applySliders(moved, settings, units);

    const auto moveBack = [&](QPointF at, QPointF by) {
        if (by.x() == 0 && by.y() == 0) {
            return at;
        }
        return at + QPointF(back.a * by.x() - back.b * by.y(), back.b * by.x() + back.a * by.y());
    };
    for (int i = 0; i < kLandmarkCount; ++i) {
        result.points[i] = moveBack(face.points[i], moved[i] - aligned[i]);
    }
    if (withExtra) {
        const double lift = 0.15 * settings[Adjustment::Forehead] / 100.0 * units.height;
        const std::vector<QPointF> before = foreheadPoints(aligned, 0);
        const std::vector<QPointF> after = foreheadPoints(moved, lift);
        for (size_t i = 0; i < before.size(); ++i) {
            const QPointF from = back.map(before[i]);
            result.extra.emplace_back(from, moveBack(from, after[i] - before[i]));
        }
    }
    return result;
}

}  // namespace

const std::array<AdjustmentInfo, kAdjustmentCount>& adjustmentTable() {
    return kTable;
}

const AdjustmentInfo* findAdjustment(std::string_view word) {
    const auto found = std::find_if(kTable.begin(), kTable.end(),
                                    [&](const AdjustmentInfo& info) { return info.word == word; });
    return found == kTable.end() ? nullptr : &*found;
}

bool FaceSettings::isIdentity() const {
    const auto zero = [](int v) { return v == 0; };
    return std::all_of(values.begin(), values.end(), zero) &&
           (!eyesApart || std::all_of(secondEye.begin(), secondEye.end(), zero));
}

Landmarks targetLandmarks(const FoundFace& face, const FaceSettings& settings) {
    return computeTargets(face, settings, false).points;
}

FaceMove faceMove(const FoundFace& face, const FaceSettings& settings) {
    Targets targets = computeTargets(face, settings, true);
    return {face.box, face.points, targets.points, std::move(targets.extra)};
}

}  // namespace face
