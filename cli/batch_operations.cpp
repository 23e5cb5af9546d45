#include "cli/batch_operations.h"

#include "effects/pencil_sketch.h"
#include "effects/picture_resize.h"
#include "effects/progress.h"
#include "effects/sign_drawing.h"
#include "effects/smudge.h"
#include "effects/spherical.h"
#include "effects/stretch.h"
#include "effects/twirl.h"
#include "effects/wave.h"
#include "effects/zone_crop.h"
#include "face/face_adjustments.h"
#include "face/face_change.h"
#include "face/face_finder.h"
#include "formats/file_bytes.h"
#include "formats/picture_limits.h"
#include "warp/stroke_file.h"
#include "warp/warp_session.h"

#include <QFileInfo>

namespace batch {
namespace {

// Larger than the diagonal of any picture we load; keeps the effects' squares of R and S far
// from overflowing.
constexpr int kMaxDiscSize = 100000;

// The disc effects take a centre inside the picture, a radius and a strength, all in picture
// pixels. The effects themselves accept a centre outside the picture, but on the command line
// that is almost certainly a mistake, so we refuse it.
void checkDisc(const QImage& picture, std::span<const int> values) {
    const int x = values[0], y = values[1], radius = values[2], strength = values[3];
    if (x < 0 || y < 0 || x >= picture.width() || y >= picture.height()) {
        throw OperationError("the centre " + std::to_string(x) + "," + std::to_string(y) +
                             " lies outside the picture of " + std::to_string(picture.width()) +
                             " x " + std::to_string(picture.height()) + " pixels");
    }
    if (radius < 1 || radius > kMaxDiscSize) {
        throw OperationError("the radius must be from 1 to " + std::to_string(kMaxDiscSize) +
                             ", not " + std::to_string(radius));
    }
    if (strength < 1 || strength > kMaxDiscSize) {
        throw OperationError("the strength must be from 1 to " + std::to_string(kMaxDiscSize) +
                             ", not " + std::to_string(strength));
    }
}

template <void (*effect)(QImage&, int, int, int, int, effects::Progress&)>
void applyDisc(QImage& picture, std::span<const int> values) {
    checkDisc(picture, values);
    effects::NoProgress progress;
    effect(picture, values[0], values[1], values[2], values[3], progress);
}

// The stretches refuse a strength so close to the radius that a rim pixel has no source.
template <bool (*stretch)(QImage&, int, int, int, int, effects::Progress&)>
void applyStretch(QImage& picture, std::span<const int> values) {
    checkDisc(picture, values);
    effects::NoProgress progress;
    if (!stretch(picture, values[0], values[1], values[2], values[3], progress)) {
        throw OperationError("the stretch cannot be made: with strength " +
                             std::to_string(values[3]) + " so close to radius " +
                             std::to_string(values[2]) +
                             ", a pixel at the rim of the disc has no source pixel to come from");
    }
}

void applyWave(QImage& picture, std::span<const int> values) {
    effects::NoProgress progress;
    if (!effects::wave(picture, values[0], values[1], values[2], progress)) {
        throw OperationError("the wave needs scales A and B other than 0");
    }
}

void checkRange(int value, int lowest, int highest, const std::string& what) {
    if (value < lowest || value > highest) {
        throw OperationError(what + " must be from " + std::to_string(lowest) + " to " +
                             std::to_string(highest) + ", not " + std::to_string(value));
    }
}

// The press point must lie on the picture, as a press with the mouse does; the release may
// lie anywhere.
void applySmudge(QImage& picture, std::span<const int> values) {
    const int pressX = values[0], pressY = values[1], radius = values[4];
    if (pressX < 0 || pressY < 0 || pressX >= picture.width() || pressY >= picture.height()) {
        throw OperationError("the press point " + std::to_string(pressX) + "," +
                             std::to_string(pressY) + " lies outside the picture of " +
                             std::to_string(picture.width()) + " x " +
                             std::to_string(picture.height()) + " pixels");
    }
    checkRange(radius, 1, kMaxDiscSize, "the radius A");
    effects::NoProgress progress;
    effects::smudge(picture, pressX, pressY, values[2], values[3], radius, progress);
}

void applyEdges(QImage& picture, std::span<const int>) {
    picture = effects::edgeImage(picture);
}

// The two sketches render the edge image of the picture they are given, as the Sketch page
// renders the edge image it keeps.
void applySketchBlackAndWhite(QImage& picture, std::span<const int> values) {
    checkRange(values[0], 0, 255, "the pen pressure T");
    picture = effects::thresholdSketch(effects::edgeImage(picture), values[0]);
}

void applySketchGrey(QImage& picture, std::span<const int> values) {
    checkRange(values[0], 0, 89, "the pencil contrast P");
    picture = effects::contrastSketch(effects::edgeImage(picture), values[0]);
}

// A straight line with the sign pen. The drawing clips the line to the picture; coordinates
// beyond a million pixels can only be typing mistakes.
constexpr int kMaxLineCoordinate = 1000000;
constexpr int kMaxLineWidth = 100;

void applyLine(QImage& picture, std::span<const int> values) {
    const char* const names[] = {"X1", "Y1", "X2", "Y2"};
    for (int i = 0; i < 4; ++i) {
        checkRange(values[i], -kMaxLineCoordinate, kMaxLineCoordinate,
                   std::string("the coordinate ") + names[i]);
    }
    checkRange(values[4], 1, kMaxLineWidth, "the width");
    const effects::SignPen pen{static_cast<uint32_t>(values[5]), values[4]};
    effects::drawSignLine(picture, {values[0], values[1]}, {values[2], values[3]}, pen);
}

// The zone is inclusive, its columns and rows counted from 1.
void applyCrop(QImage& picture, std::span<const int> values) {
    const int left = values[0], top = values[1], right = values[2], bottom = values[3];
    const std::string zone = std::to_string(left) + "," + std::to_string(top) + " to " +
                             std::to_string(right) + "," + std::to_string(bottom);
    if (left > right || top > bottom) {
        throw OperationError("the zone " + zone +
                             " is empty: RIGHT must not be left of LEFT, nor BOTTOM above TOP");
    }
    if (left < 1 || top < 1 || right > picture.width() || bottom > picture.height()) {
        throw OperationError("the zone " + zone + " does not lie inside the picture of " +
                             std::to_string(picture.width()) + " x " +
                             std::to_string(picture.height()) +
                             " pixels, whose columns and rows count from 1");
    }
    picture = effects::cropToZone(picture, left, top, right, bottom);
}

// The new size must be one the program could have read from a file.
void applyResize(QImage& picture, std::span<const int> values) {
    const int width = values[0], height = values[1];
    checkRange(width, 1, static_cast<int>(formats::kMaxPictureSide), "the width");
    checkRange(height, 1, static_cast<int>(formats::kMaxPictureSide), "the height");
    if (static_cast<qint64>(width) * height > formats::kMaxPicturePixels) {
        throw OperationError(
            std::to_string(width) + " x " + std::to_string(height) + " pixels is more than the " +
            std::to_string(formats::kMaxPicturePixels) + " pixels a picture may have");
    }
    picture = effects::resizePicture(picture, width, height);
}

// The feature sliders' words, in the order of the adjustment table (caricature left out: it is
// an operation of its own).
std::vector<std::string> faceSliderWords() {
    std::vector<std::string> words;
    for (const face::AdjustmentInfo& info : face::adjustmentTable()) {
        if (info.id != face::Adjustment::Caricature) {
            words.emplace_back(info.word);
        }
    }
    return words;
}

// Every face of the picture changed by one adjustment, through the page's own functions.
void changeEveryFace(QImage& picture, face::Adjustment adjustment, int value) {
    const face::AdjustmentInfo& info = face::adjustmentTable()[static_cast<size_t>(adjustment)];
    if (value < info.minimum || value > info.maximum) {
        throw OperationError(std::string(info.word) + " must be from " +
                             std::to_string(info.minimum) + " to " + std::to_string(info.maximum) +
                             ", not " + std::to_string(value));
    }
    const std::vector<face::FoundFace> faces = face::findFaces(picture);
    if (faces.empty()) {
        throw OperationError("no face was found in the picture");
    }
    face::FaceSettings settings;
    settings[adjustment] = value;
    picture = face::changeFaces(picture, faces, settings).picture;
}

void applyCaricature(QImage& picture, std::span<const int> values) {
    changeEveryFace(picture, face::Adjustment::Caricature, values[0]);
}

void applyFaceSlider(QImage& picture, std::span<const int> values) {
    // The slider words skip the caricature, which comes first in the adjustment table.
    changeEveryFace(picture, static_cast<face::Adjustment>(values[0] + 1), values[1]);
}

void checkBrush(int radius, int strength) {
    if (radius < 1 || radius > warp::kLargestRadius) {
        throw OperationError("the radius must be from 1 to " +
                             std::to_string(static_cast<int>(warp::kLargestRadius)) + ", not " +
                             std::to_string(radius));
    }
    if (strength < 0 || strength > 100) {
        throw OperationError("the strength must be from 0 to 100, not " + std::to_string(strength));
    }
}

void applyPush(QImage& picture, std::span<const int> values) {
    checkBrush(values[4], values[5]);
    picture = warp::warpPicture(
        picture, warp::straightPush(QPointF(values[0], values[1]), QPointF(values[2], values[3]),
                                    values[4], values[5]));
}

// A stroke file is text of a dab a line: far below this size.
constexpr qint64 kLargestStrokeFile = 64 * 1024 * 1024;

void applyStroke(QImage& picture, std::span<const int> values, std::span<const QString> files) {
    const QString& name = files[static_cast<size_t>(values[0])];
    const std::string shown = name.toStdString();
    if (!QFileInfo::exists(name)) {
        throw OperationError("the stroke file " + shown + " does not exist");
    }
    QByteArray text;
    try {
        text = formats::readFileBounded(name, kLargestStrokeFile);
    } catch (const formats::FileTooLarge&) {
        throw OperationError("the stroke file " + shown + " is larger than 64 MB");
    } catch (const formats::FormatError& error) {
        throw OperationError(error.what());  // names the file and says what it is
    }
    try {
        picture =
            warp::warpPicture(picture, warp::parseStrokeFile(std::string_view(
                                           text.constData(), static_cast<size_t>(text.size()))));
    } catch (const warp::StrokeFileError& error) {
        throw OperationError(shown + ", " + error.what());
    }
}

}  // namespace

const std::vector<OperationInfo>& operationTable() {
    static const std::vector<OperationInfo> table = {
        {"bulge",
         {"X", "Y", "R", "S"},
         "bulge a disc of radius R around (X, Y), strength S",
         applyDisc<effects::bulge>},
        {"pinch",
         {"X", "Y", "R", "S"},
         "pinch a disc of radius R around (X, Y), strength S",
         applyDisc<effects::pinch>},
        {"twirl-cw",
         {"X", "Y", "R", "S"},
         "twirl a disc of radius R around (X, Y) clockwise, strength S",
         applyDisc<effects::twirlClockwise>},
        {"twirl-ccw",
         {"X", "Y", "R", "S"},
         "twirl a disc of radius R around (X, Y) anticlockwise, strength S",
         applyDisc<effects::twirlAnticlockwise>},
        {"vstretch",
         {"X", "Y", "R", "S"},
         "stretch a disc of radius R around (X, Y) vertically, strength S",
         applyStretch<effects::stretchVertical>},
        {"vsqueeze",
         {"X", "Y", "R", "S"},
         "squeeze a disc of radius R around (X, Y) vertically, strength S",
         applyDisc<effects::squeezeVertical>},
        {"hstretch",
         {"X", "Y", "R", "S"},
         "stretch a disc of radius R around (X, Y) horizontally, strength S",
         applyStretch<effects::stretchHorizontal>},
        {"hsqueeze",
         {"X", "Y", "R", "S"},
         "squeeze a disc of radius R around (X, Y) horizontally, strength S",
         applyDisc<effects::squeezeHorizontal>},
        {"wave",
         {"A", "B", "C"},
         "ripple the whole picture: column scale A, row scale B, amplitude C (2 6 2)",
         applyWave,
         {2, 6, 2}},
        {"smudge",
         {"PX", "PY", "EX", "EY", "A"},
         "push the picture along a drag from (PX, PY) to (EX, EY), effect radius A",
         applySmudge},
        {"edges", {}, "replace the picture with its inverted edge image", applyEdges},
        {"sketch-bw",
         {"T"},
         "black-and-white pencil sketch of the edge image, pen pressure T (0..255)",
         applySketchBlackAndWhite},
        {"sketch-grey",
         {"P"},
         "grey pencil sketch of the edge image, contrast angle P (0..89)",
         applySketchGrey},
        {"line",
         {"X1", "Y1", "X2", "Y2", "WIDTH", {"COLOUR", ArgumentKind::Colour}},
         "draw a line from (X1, Y1) to (X2, Y2), WIDTH 1..100 (1 is dashed), COLOUR #rrggbb",
         applyLine},
        {"crop",
         {"LEFT", "TOP", "RIGHT", "BOTTOM"},
         "keep columns LEFT..RIGHT and rows TOP..BOTTOM, counted from 1",
         applyCrop},
        {"resize",
         {"WIDTH", "HEIGHT"},
         "resample to WIDTH x HEIGHT pixels, at most 30000 a side and 120 M in all",
         applyResize},
        {"caricature",
         {"AMOUNT"},
         "exaggerate every face's differences from the average face by AMOUNT % (-100..300)",
         applyCaricature},
        {"face",
         {{"SLIDER", ArgumentKind::Word, faceSliderWords()}, "VALUE"},
         "move one feature of every face by VALUE (-100..100); SLIDER as listed below",
         applyFaceSlider},
        {"push",
         {"X1", "Y1", "X2", "Y2", "RADIUS", "STRENGTH"},
         "push the picture from (X1, Y1) to (X2, Y2) with a brush of RADIUS, STRENGTH 0..100",
         applyPush},
        {"stroke",
         {{"FILE", ArgumentKind::File}},
         "warp brush dabs from FILE, a line each: TOOL X Y RADIUS STRENGTH [HARDNESS]",
         nullptr,
         {},
         applyStroke},
    };
    return table;
}

const OperationInfo* findOperation(const std::string& name) {
    for (const OperationInfo& operation : operationTable()) {
        if (name == operation.name) {
            return &operation;
        }
    }
    return nullptr;
}

}  // namespace batch
