// The face finder on the example photograph, on copies of it (smaller, offset, in other
// formats, twice in one picture), on pictures without a face, and with a missing or damaged
// model file.
#include <gtest/gtest.h>

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <cmath>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>

#include "face/face_finder.h"

namespace {

using face::FoundFace;
using face::Landmarks;

bool modelInstalled() {
    return QFile::exists(face::defaultModelPath());
}

#define SKIP_WITHOUT_MODEL() \
    if (!modelInstalled())   \
    GTEST_SKIP() << "the landmark model (" << face::kModelPackage << ") is not installed"

QImage examplePicture() {
    QImage picture(QStringLiteral(MUGWARP_EXAMPLE_PICTURE));
    EXPECT_EQ(picture.size(), QSize(605, 469));
    return picture.convertToFormat(QImage::Format_BGR888);
}

QPointF mean(const Landmarks& points, int first, int last) {
    QPointF sum;
    for (int i = first; i <= last; ++i)
        sum += points[size_t(i)];
    return sum / (last - first + 1);
}

// Features of the example's face, read off the picture by eye: crops of it enlarged 8 to 20
// times with ImageMagick, a grid of 2 or 5 pixels drawn over them. Eye centres are the middle of
// the visible opening (corner to corner, lid to lid), the nose tip the highlight on its end, the
// mouth corners where the lips meet.
struct KnownPoint {
    const char* name;
    int first, last;  // the landmarks whose mean marks the feature
    QPointF where;
};
const KnownPoint kKnownPoints[] = {
    {"eye on the picture's left", 36, 41, {238.5, 99.0}},
    {"eye on the picture's right", 42, 47, {292.0, 101.5}},
    {"nose tip", 30, 30, {264.0, 130.0}},
    {"mouth corner on the left", 48, 48, {240.0, 145.5}},
    {"mouth corner on the right", 54, 54, {288.0, 147.0}},
};

double distance(QPointF a, QPointF b) {
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

double largestDistance(const Landmarks& a, const Landmarks& b) {
    double largest = 0;
    for (size_t i = 0; i < a.size(); ++i)
        largest = std::max(largest, distance(a[i], b[i]));
    return largest;
}

TEST(FaceFinder, FindsTheExampleFaceWithItsFeaturesWhereTheyAre) {
    SKIP_WITHOUT_MODEL();
    const QImage picture = examplePicture();
    const std::vector<FoundFace> faces = face::findFaces(picture);
    ASSERT_EQ(faces.size(), 1u);
    const FoundFace& found = faces[0];
    for (const KnownPoint& known : kKnownPoints) {
        const QPointF at = mean(found.points, known.first, known.last);
        EXPECT_LT(distance(at, known.where), 4.0)
            << known.name << " at " << at.x() << ", " << at.y();
        EXPECT_TRUE(found.box.contains(at)) << known.name;
    }
    // The box is about the face's size (eye to eye is about 54 pixels).
    EXPECT_GT(found.box.width(), 80);
    EXPECT_LT(found.box.width(), 180);
}

TEST(FaceFinder, FindsTheFaceInSmallerCopiesAtTheScaledPlaces) {
    SKIP_WITHOUT_MODEL();
    const QImage picture = examplePicture();
    // 200 pixels wide, the face is about 40 pixels across: below the detector's window until
    // the finder scales the picture up.
    for (const int width : {200, 300, 450}) {
        const QImage small = picture.scaledToWidth(width, Qt::SmoothTransformation)
                                 .convertToFormat(QImage::Format_BGR888);
        const double scale = double(small.width()) / picture.width();
        const std::vector<FoundFace> faces = face::findFaces(small);
        ASSERT_EQ(faces.size(), 1u) << width;
        for (const KnownPoint& known : kKnownPoints) {
            const QPointF at = mean(faces[0].points, known.first, known.last);
            // Within 4 pixels at full size, and a pixel more: landmarks are whole pixels of
            // the copy.
            EXPECT_LT(distance(at, known.where * scale), 4.0 * scale + 1.0)
                << known.name << " at width " << width;
        }
    }
}

TEST(FaceFinder, PutsTheLargerOfTwoFacesFirst) {
    SKIP_WITHOUT_MODEL();
    const QImage picture = examplePicture();
    const double smallScale = 0.8;
    const QImage smaller = picture.scaledToWidth(int(605 * smallScale), Qt::SmoothTransformation);
    // The larger on either side, so no order by place passes both.
    const struct {
        QPoint largeAt, smallAt;
    } layouts[] = {{{10, 60}, {660, 200}}, {{530, 60}, {10, 200}}};
    for (const auto& layout : layouts) {
        QImage both(1150, 600, QImage::Format_BGR888);
        both.fill(QColor(128, 128, 128));
        {
            QPainter painter(&both);
            painter.drawImage(layout.largeAt, picture);
            painter.drawImage(layout.smallAt, smaller);
        }
        const std::vector<FoundFace> faces = face::findFaces(both);
        ASSERT_EQ(faces.size(), 2u) << "large one at " << layout.largeAt.x();
        EXPECT_GT(faces[0].box.width() * faces[0].box.height(),
                  faces[1].box.width() * faces[1].box.height());
        const KnownPoint& nose = kKnownPoints[2];
        EXPECT_LT(distance(faces[0].points[30], nose.where + layout.largeAt), 4.0)
            << "large one at " << layout.largeAt.x();
        EXPECT_LT(distance(faces[1].points[30], nose.where * smallScale + layout.smallAt), 4.0)
            << "large one at " << layout.largeAt.x();
    }
}

TEST(FaceFinder, FindsNoFaceInPicturesWithout) {
    SKIP_WITHOUT_MODEL();
    std::mt19937 random(20240611);
    QImage flat(64, 48, QImage::Format_ARGB32);  // grows to 1200 x 900
    flat.fill(QColor(200, 170, 150));            // about skin colour
    QImage noise(900, 700, QImage::Format_BGR888);
    for (int y = 0; y < noise.height(); ++y) {
        uchar* row = noise.scanLine(y);
        for (int x = 0; x < noise.width() * 3; ++x)
            row[x] = static_cast<uchar>(random() & 0xff);
    }
    QImage gradient(2400, 1600, QImage::Format_Grayscale8);
    for (int y = 0; y < gradient.height(); ++y) {
        uchar* row = gradient.scanLine(y);
        for (int x = 0; x < gradient.width(); ++x)
            row[x] = static_cast<uchar>((x / 10 + y / 7) & 0xff);
    }
    QImage strip(5000, 3, QImage::Format_RGB888);  // shrinks to a single row
    strip.fill(Qt::white);
    const struct {
        const char* name;
        QImage picture;
    } cases[] = {{"flat", flat},
                 {"noise", noise},
                 {"gradient", gradient},
                 {"strip", strip},
                 {"null", QImage()}};
    for (const auto& c : cases)
        EXPECT_TRUE(face::findFaces(c.picture).empty()) << c.name;
}

TEST(FaceFinder, FitsInABoxAsItFindsTheFace) {
    SKIP_WITHOUT_MODEL();
    const QImage picture = examplePicture();
    const std::vector<FoundFace> faces = face::findFaces(picture);
    ASSERT_EQ(faces.size(), 1u);
    const QRectF box = faces[0].box;
    // A box the user drew: a little off, a little larger.
    const QRectF drawn = box.adjusted(-0.08 * box.width(), -0.04 * box.height(), 0.05 * box.width(),
                                      0.07 * box.height());
    const FoundFace fitted = face::sharedFaceFinder().fitInBox(picture, drawn);
    EXPECT_EQ(fitted.box, drawn);
    EXPECT_LT(largestDistance(fitted.points, faces[0].points), 0.08 * box.width());
    for (const KnownPoint& known : kKnownPoints)
        EXPECT_LT(distance(mean(fitted.points, known.first, known.last), known.where), 5.0)
            << known.name;
}

TEST(FaceFinder, FitsTheSameInEveryFormatAndPlace) {
    SKIP_WITHOUT_MODEL();
    const QImage picture = examplePicture();
    const std::vector<FoundFace> faces = face::findFaces(picture);
    ASSERT_EQ(faces.size(), 1u);
    const FoundFace& reference = faces[0];
    const struct {
        QImage::Format format;
        QPoint offset;
        double tolerance;  // grey from Qt is not dlib's (r + g + b) / 3
    } cases[] = {
        {QImage::Format_BGR888, {0, 0}, 0},        {QImage::Format_BGR888, {731, 402}, 0},
        {QImage::Format_RGB888, {35, 1210}, 0},    {QImage::Format_RGB32, {1000, 17}, 0},
        {QImage::Format_ARGB32, {3, 500}, 0},      {QImage::Format_RGBA64, {250, 250}, 0},
        {QImage::Format_Grayscale8, {90, 800}, 3},
    };
    for (const auto& c : cases) {
        // The picture inside a larger black canvas (black reads as dlib's outside of a
        // picture): the fit has to read at the right place.
        QImage canvas(picture.width() + 1400, picture.height() + 1300, QImage::Format_BGR888);
        canvas.fill(Qt::black);
        {
            QPainter painter(&canvas);
            painter.drawImage(c.offset, picture);
        }
        canvas = canvas.convertToFormat(c.format);
        const FoundFace fitted =
            face::sharedFaceFinder().fitInBox(canvas, reference.box.translated(c.offset));
        Landmarks back = fitted.points;
        for (QPointF& p : back)
            p -= c.offset;
        EXPECT_LE(largestDistance(back, reference.points), c.tolerance)
            << "format " << c.format << " at " << c.offset.x() << ", " << c.offset.y();
    }
}

TEST(FaceFinder, FindsTheFaceOfALargePictureAlikeInEveryFormat) {
    SKIP_WITHOUT_MODEL();
    // Four times the example: detection averages blocks of its pixels, read from the rows of
    // each 8-bit format as they lie in memory (or converted first, as 16-bit colour is).
    const double scale = 4;
    const QImage large =
        examplePicture().scaled(605 * 4, 469 * 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const std::vector<FoundFace> reference =
        face::findFaces(large.convertToFormat(QImage::Format_BGR888));
    ASSERT_EQ(reference.size(), 1u);
    for (const KnownPoint& known : kKnownPoints)
        EXPECT_LT(distance(mean(reference[0].points, known.first, known.last), known.where * scale),
                  4.0 * scale)
            << known.name;
    const struct {
        QImage::Format format;
        double tolerance;  // in the box's corners; grey from Qt is not dlib's (r + g + b) / 3
    } cases[] = {
        {QImage::Format_RGB32, 0},
        {QImage::Format_RGBA8888, 0},
        {QImage::Format_RGBA64, 0},
        {QImage::Format_Grayscale8, 12},
    };
    for (const auto& c : cases) {
        const std::vector<FoundFace> faces = face::findFaces(large.convertToFormat(c.format));
        ASSERT_EQ(faces.size(), 1u) << "format " << c.format;
        EXPECT_LE(distance(faces[0].box.topLeft(), reference[0].box.topLeft()), c.tolerance)
            << "format " << c.format;
        EXPECT_LE(distance(faces[0].box.bottomRight(), reference[0].box.bottomRight()), c.tolerance)
            << "format " << c.format;
    }
}

TEST(FaceFinder, FindsFromSeveralThreadsAtOnce) {
    SKIP_WITHOUT_MODEL();
    const QImage picture = examplePicture();
    const std::vector<FoundFace> alone = face::findFaces(picture);
    ASSERT_EQ(alone.size(), 1u);
    std::vector<std::vector<FoundFace>> results(3);
    std::vector<std::thread> threads;
    for (auto& result : results)
        threads.emplace_back([&picture, &result] { result = face::findFaces(picture); });
    for (std::thread& t : threads)
        t.join();
    for (const auto& result : results) {
        ASSERT_EQ(result.size(), 1u);
        EXPECT_EQ(result[0].box, alone[0].box);
        EXPECT_EQ(result[0].points, alone[0].points);
    }
}

TEST(FaceFinder, NamesTheFileAndPackageWhenTheModelIsMissingOrDamaged) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = dir.filePath(QStringLiteral("no_such_model.dat"));
    const QString damaged = dir.filePath(QStringLiteral("damaged_model.dat"));
    const QString empty = dir.filePath(QStringLiteral("empty_model.dat"));
    {
        QFile file(damaged);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(5000, '\x7f'));
        QFile none(empty);
        ASSERT_TRUE(none.open(QIODevice::WriteOnly));
    }
    // The real model cut short, when there is one: it starts right and ends early.
    const QString truncated = dir.filePath(QStringLiteral("truncated_model.dat"));
    if (modelInstalled()) {
        QFile model(face::defaultModelPath());
        ASSERT_TRUE(model.open(QIODevice::ReadOnly));
        QFile file(truncated);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(model.read(3 << 20));
    }
    const struct {
        QString path;
        bool namesPackage;
    } cases[] = {
        {missing, true}, {damaged, false}, {empty, false}, {truncated, false}, {dir.path(), false}};
    for (const auto& c : cases) {
        if (c.path == truncated && !modelInstalled())
            continue;
        try {
            face::loadFaceFinder(c.path);
            ADD_FAILURE() << "loaded " << c.path.toStdString();
        } catch (const std::runtime_error& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(c.path.toStdString()), std::string::npos) << message;
            EXPECT_EQ(message.find(face::kModelPackage) != std::string::npos, c.namesPackage)
                << message;
        }
    }
}

// A model that reads well but whose tables do not fit together would make the predictor read
// outside them: it is refused before any face is fitted.
TEST(FaceFinder, RefusesModelsWhoseTablesDoNotFit) {
    const struct {
        const char* file;
        const char* fault;  // nullptr: accepted
    } cases[] = {
        {"tiny_model.dat", nullptr},
        {"cut_short.dat", "is damaged: "},
        {"split_outside.dat", "a tree compares a feature that is not there."},
        {"short_leaf.dat", "a tree's leaf does not move every landmark."},
        {"leaf_count.dat", "a tree has the wrong number of leaves."},
        {"anchor_outside.dat", "a feature is anchored to a landmark it does not have."},
        {"five_landmarks.dat", "it has 5 landmarks, not 68."},
        // A few hundred bytes claiming a table of 2^60 forests: refused before any allocation.
        {"huge_table.dat", "a table is longer than the file."},
    };
    for (const auto& c : cases) {
        QFile file(QStringLiteral(MUGWARP_MODEL_SEEDS "/") + QString::fromLatin1(c.file));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.file;
        const QByteArray bytes = file.readAll();
        try {
            face::checkLandmarkModel(std::string_view(bytes.constData(), bytes.size()), c.file);
            EXPECT_EQ(c.fault, nullptr) << c.file << " was accepted";
        } catch (const std::runtime_error& e) {
            ASSERT_NE(c.fault, nullptr) << c.file << ": " << e.what();
            const std::string expected =
                std::string("The face landmark model ") + c.file + " is damaged: ";
            EXPECT_EQ(std::string(e.what()).rfind(expected, 0), 0u) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.fault), std::string::npos) << e.what();
        }
    }
}

}  // namespace
