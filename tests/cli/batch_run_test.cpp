// mugwarp-batch run as a program: outputs, exit statuses, and no output after a failure.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

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

#include <functional>
#include "formats/picture_file.h"
#include "warp/stroke_file.h"
#include "warp/warp_session.h"

namespace {

struct Outcome {
    int exitCode = -1;
    QString errors;
};

class BatchRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        picture = QImage(40, 30, QImage::Format_BGR888);
        for (int y = 0; y < picture.height(); ++y) {
            uchar* row = picture.scanLine(y);
            for (int x = 0; x < picture.width(); ++x) {
                row[3 * x] = static_cast<uchar>(x * 6);
                row[3 * x + 1] = static_cast<uchar>(y * 8);
                row[3 * x + 2] = static_cast<uchar>((x ^ y) * 4);
            }
        }
        input = path("input.bmp");
        formats::writeFileAtomically(input, formats::encodeForFileName(picture, input));
    }

    QString path(const char* name) const { return folder.filePath(QString::fromLatin1(name)); }

    static Outcome run(
        const QStringList& arguments,
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
        const QString& workingDirectory = {}) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(workingDirectory);
        process.start(QStringLiteral(MUGWARP_BATCH_PROGRAM), arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromLocal8Bit(process.readAllStandardError())};
    }

    QTemporaryDir folder;
    QImage picture;
    QString input;
};

TEST_F(BatchRun, ConvertsExactlyThroughBmpAndToJpeg) {
    const QString bmp = path("copy.bmp");
    EXPECT_EQ(run({input, bmp}).exitCode, 0);
    EXPECT_EQ(formats::readPictureFile(bmp), picture);

    const QString jpeg = path("copy.jpg");
    EXPECT_EQ(run({bmp, jpeg}).exitCode, 0);
    QFile written(jpeg);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.read(3), QByteArray("\xFF\xD8\xFF", 3));
    EXPECT_EQ(formats::readPictureFile(jpeg).size(), picture.size());
}

TEST_F(BatchRun, ReadsTypesWithoutASignatureByTheirExtension) {
    // A Targa file written by another program has no magic bytes to sniff.
    const QString targa = QStringLiteral(
        MUGWARP_TEST_DATA "/formats/gdk-pixbuf-tests-gtk-logo-gray-8bpp-top-left.tga");
    const QString gif = path("logo.gif");
    ASSERT_EQ(run({targa, gif}).exitCode, 0);
    const QImage converted = formats::readPictureFile(gif);
    EXPECT_FALSE(converted.isNull());
    EXPECT_EQ(converted.format(), QImage::Format_BGR888);
    EXPECT_GT(converted.width(), 0);
}

TEST_F(BatchRun, AppliesTheOperationAsOftenAsAsked) {
    const QString once = path("bulge.bmp");
    ASSERT_EQ(run({input, once, "bulge", "20", "15", "10", "4"}).exitCode, 0);
    const QImage bulged = formats::readPictureFile(once);
    EXPECT_NE(bulged.pixel(22, 16), picture.pixel(22, 16)) << "the disc is unchanged";
    EXPECT_EQ(bulged.pixel(0, 0), picture.pixel(0, 0)) << "outside the disc changed";

    const QString thrice = path("pinch3.bmp");
    ASSERT_EQ(run({input, thrice, "pinch", "12", "10", "9", "3", "--repeat", "3"}).exitCode, 0);
    QImage expected = picture;
    effects::NoProgress progress;
    for (int i = 0; i < 3; ++i) {
        effects::pinch(expected, 12, 10, 9, 3, progress);
    }
    EXPECT_EQ(formats::readPictureFile(thrice), expected);
}

TEST_F(BatchRun, EveryDiscOperationRunsItsOwnEffect) {
    using Effect = std::function<void(QImage&, int, int, int, int, effects::Progress&)>;
    const std::vector<std::pair<QString, Effect>> operations = {
        {"twirl-cw", effects::twirlClockwise},    {"twirl-ccw", effects::twirlAnticlockwise},
        {"vstretch", effects::stretchVertical},   {"vsqueeze", effects::squeezeVertical},
        {"hstretch", effects::stretchHorizontal}, {"hsqueeze", effects::squeezeHorizontal},
    };
    for (const auto& [name, effect] : operations) {
        const QString output = path("disc.bmp");
        ASSERT_EQ(run({input, output, name, "20", "14", "12", "5"}).exitCode, 0)
            << name.toStdString();
        QImage expected = picture.copy();
        effects::NoProgress progress;
        effect(expected, 20, 14, 12, 5, progress);
        EXPECT_NE(expected, picture) << name.toStdString();
        EXPECT_EQ(formats::readPictureFile(output), expected) << name.toStdString();
    }
    // A stretch with its strength at its radius has no rim: refused, nothing written.
    const QString flat = path("flat.bmp");
    EXPECT_EQ(run({input, flat, "vstretch", "20", "14", "6", "6"}).exitCode, 1);
    EXPECT_FALSE(QFile::exists(flat));
}

TEST_F(BatchRun, WholePictureAndSmudgeOperations) {
    const QString output = path("whole.bmp");
    auto result = [&](const QStringList& operation) {
        EXPECT_EQ(run(QStringList{input, output} + operation).exitCode, 0)
            << operation.join(' ').toStdString();
        return formats::readPictureFile(output);
    };
    effects::NoProgress progress;
    QImage waved = picture.copy();
    effects::wave(waved, 2, 6, 2, progress);
    EXPECT_EQ(result({"wave"}), waved);
    waved = picture.copy();
    effects::wave(waved, 3, 4, 5, progress);
    EXPECT_EQ(result({"wave", "3", "4", "5"}), waved);

    const QImage edges = effects::edgeImage(picture);
    EXPECT_EQ(result({"edges"}), edges);
    EXPECT_EQ(result({"sketch-bw", "200"}), effects::thresholdSketch(edges, 200));
    EXPECT_EQ(result({"sketch-grey", "60"}), effects::contrastSketch(edges, 60));

    QFile::remove(output);
    for (const QStringList& refused :
         {QStringList{"wave", "0", "6", "2"}, QStringList{"sketch-bw", "256"},
          QStringList{"sketch-grey", "90"}}) {
        EXPECT_EQ(run(QStringList{input, output} + refused).exitCode, 1)
            << refused.join(' ').toStdString();
        EXPECT_FALSE(QFile::exists(output));
    }
}

TEST_F(BatchRun, DrawsLinesWithTheSignPen) {
    const QString output = path("line.bmp");
    struct Line {
        QStringList arguments;
        QPoint from, to;
        effects::SignPen pen;
    };
    for (const Line& line : {
             Line{{"3", "4", "35", "27", "1", "#FF8000"}, {3, 4}, {35, 27}, {0x0080ff, 1}},
             Line{{"-500", "20", "1000000", "-7", "5", "#0a1B2c"},
                  {-500, 20},
                  {1000000, -7},
                  {0x2c1b0a, 5}},
             Line{{"20", "15", "20", "15", "100", "#ffffff"}, {20, 15}, {20, 15}, {0xffffff, 100}},
         }) {
        ASSERT_EQ(run(QStringList{input, output, "line"} + line.arguments).exitCode, 0)
            << line.arguments.join(' ').toStdString();
        QImage expected = picture.copy();
        ASSERT_FALSE(effects::drawSignLine(expected, line.from, line.to, line.pen).isEmpty());
        EXPECT_EQ(formats::readPictureFile(output), expected)
            << line.arguments.join(' ').toStdString();
    }

    QFile::remove(output);
    for (const QStringList& refused : {
             QStringList{"0", "0", "10", "10", "0", "#000000"},
             QStringList{"0", "0", "10", "10", "101", "#000000"},
             QStringList{"0", "1000001", "10", "10", "3", "#000000"},
             QStringList{"0", "0", "-1000001", "10", "3", "#000000"},
         }) {
        const Outcome result = run(QStringList{input, output, "line"} + refused);
        EXPECT_EQ(result.exitCode, 1) << refused.join(' ').toStdString();
        EXPECT_TRUE(result.errors.startsWith("mugwarp-batch: the ")) << result.errors.toStdString();
    }
    const Outcome badColour = run({input, output, "line", "0", "0", "9", "9", "3", "red"});
    EXPECT_EQ(badColour.exitCode, 2);
    EXPECT_TRUE(badColour.errors.contains("#rrggbb")) << badColour.errors.toStdString();
    EXPECT_FALSE(QFile::exists(output));
}

TEST_F(BatchRun, CropsAndResizesThroughThePictureFunctions) {
    const QString output = path("sized.bmp");
    auto result = [&](const QStringList& operation) {
        EXPECT_EQ(run(QStringList{input, output} + operation).exitCode, 0)
            << operation.join(' ').toStdString();
        return formats::readPictureFile(output);
    };
    EXPECT_EQ(result({"crop", "3", "5", "22", "30"}), effects::cropToZone(picture, 3, 5, 22, 30));
    EXPECT_EQ(result({"crop", "1", "1", "40", "30"}), picture);
    EXPECT_EQ(result({"crop", "40", "1", "40", "30"}), effects::cropToZone(picture, 40, 1, 40, 30));

    EXPECT_EQ(result({"resize", "32", "24"}), effects::resizePicture(picture, 32, 24));
    EXPECT_EQ(result({"resize", "57", "13"}), effects::resizePicture(picture, 57, 13));
    EXPECT_EQ(result({"resize", "1", "1"}), effects::resizePicture(picture, 1, 1));

    QFile::remove(output);
    for (const QStringList& refused : {
             QStringList{"crop", "0", "1", "10", "10"},
             QStringList{"crop", "1", "1", "41", "30"},
             QStringList{"crop", "1", "1", "40", "31"},
             QStringList{"crop", "20", "5", "19", "10"},
             QStringList{"resize", "0", "10"},
             QStringList{"resize", "30001", "10"},
             QStringList{"resize", "20000", "20000"},
         }) {
        const Outcome outcome = run(QStringList{input, output} + refused);
        EXPECT_EQ(outcome.exitCode, 1) << refused.join(' ').toStdString();
        EXPECT_EQ(outcome.errors.count(u'\n'), 1) << outcome.errors.toStdString();
        EXPECT_TRUE(outcome.errors.startsWith("mugwarp-batch: ")) << outcome.errors.toStdString();
        EXPECT_FALSE(QFile::exists(output)) << refused.join(' ').toStdString();
    }
}

TEST_F(BatchRun, BadArgumentsExitWithUsageAndWriteNothing) {
    const QString output = path("out.bmp");
    for (const QStringList& arguments : {
             QStringList{input},
             QStringList{input, output, "swirl", "1", "2", "3", "4"},
             QStringList{input, output, "bulge", "1", "2", "3"},
             QStringList{input, output, "bulge", "1", "2", "three", "4"},
             QStringList{input, output, "bulge", "1", "2", "3", "4", "--repeat", "0"},
             QStringList{input, path("out.tga"), "bulge", "1", "2", "3", "4"},
         }) {
        const Outcome result = run(arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(result.errors.contains("Usage: mugwarp-batch")) << result.errors.toStdString();
    }
    EXPECT_FALSE(QFile::exists(output));
    EXPECT_FALSE(QFile::exists(path("out.tga")));
}

TEST_F(BatchRun, FailuresExitWithOneLineAndWriteNothing) {
    const QString output = path("out.jpg");
    QFile garbage(path("garbage.bmp"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("BM this is not a bitmap");
    garbage.close();
    for (const QStringList& arguments : {
             QStringList{path("missing.bmp"), output},
             QStringList{garbage.fileName(), output},
             QStringList{input, output, "bulge", "20", "15", "10", "0"},
             QStringList{input, output, "pinch", "40", "15", "10", "3"},
             QStringList{input, output, "pinch", "-1", "15", "10", "3"},
             QStringList{input, output, "bulge", "20", "15", "0", "3"},
         }) {
        const Outcome result = run(arguments);
        EXPECT_EQ(result.exitCode, 1) << arguments.join(' ').toStdString();
        EXPECT_EQ(result.errors.count(u'\n'), 1) << result.errors.toStdString();
        EXPECT_TRUE(result.errors.startsWith("mugwarp-batch: ")) << result.errors.toStdString();
    }
    EXPECT_FALSE(QFile::exists(output));

    // The output's folder is a regular file: the write fails.
    const QString unwritable = input + "/out.bmp";
    const Outcome result = run({input, unwritable});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.errors.contains(unwritable)) << result.errors.toStdString();
}

TEST_F(BatchRun, NeedsNoDisplayWhateverPlatformIsNamed) {
    QProcessEnvironment desktop = QProcessEnvironment::systemEnvironment();
    desktop.insert("QT_QPA_PLATFORM", "xcb");
    desktop.remove("DISPLAY");
    desktop.remove("WAYLAND_DISPLAY");
    QProcess help;
    help.setProcessEnvironment(desktop);
    help.start(QStringLiteral(MUGWARP_BATCH_PROGRAM), {"--help"});
    ASSERT_TRUE(help.waitForFinished(60000));
    EXPECT_EQ(help.exitCode(), 0);
    const QByteArray text = help.readAllStandardOutput() + help.readAllStandardError();
    EXPECT_TRUE(text.contains("Exit status: 0 done")) << text.toStdString();
    EXPECT_TRUE(text.contains("Alias/Wavefront RLA (.rla .rpf)")) << text.toStdString();

    EXPECT_EQ(run({input, path("out.bmp"), "bulge", "10", "10", "5", "2"}, desktop).exitCode, 0);
    EXPECT_EQ(run({input}, desktop).exitCode, 2);
}

TEST_F(BatchRun, WritesPngAndWebpAndReadsPhotographsUpright) {
    const QString png = path("copy.png");
    EXPECT_EQ(run({input, png}).exitCode, 0);
    EXPECT_EQ(formats::readPictureFile(png), picture);

    const QString lossless = path("copy.webp");
    EXPECT_EQ(run({input, lossless}).exitCode, 0);
    EXPECT_EQ(formats::readPictureFile(lossless), picture);
    const QString lossy = path("lossy.webp");
    EXPECT_EQ(run({input, lossy, "--webp-quality", "90"}).exitCode, 0);
    const QImage decoded = formats::readPictureFile(lossy);
    ASSERT_EQ(decoded.size(), picture.size());
    EXPECT_NE(decoded, picture);
    EXPECT_EQ(run({input, path("x.png"), "--webp-quality", "90"}).exitCode, 2);
    EXPECT_EQ(run({input, path("x.webp"), "--webp-quality", "0"}).exitCode, 2);

    // A phone's portrait, stored lying on its side with orientation 6, comes out upright.
    const QString upright = path("upright.bmp");
    EXPECT_EQ(run({MUGWARP_TEST_DATA "/formats/photo-orientation-6.jpg", upright}).exitCode, 0);
    EXPECT_EQ(formats::readPictureFile(upright).size(), QSize(32, 48));
}

TEST_F(BatchRun, StretchRefusalSaysWhatFailed) {
    const Outcome result = run({input, path("out.bmp"), "vstretch", "20", "15", "10", "10"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.errors.contains("rim")) << result.errors.toStdString();
    EXPECT_TRUE(result.errors.contains("no source")) << result.errors.toStdString();
}

// The face operations on the example photograph, and on a picture without a face.
TEST_F(BatchRun, FindsAndChangesFaces) {
    if (!QFile::exists(QStringLiteral("/usr/share/dlib/shape_predictor_68_face_landmarks.dat"))) {
        GTEST_SKIP() << "the landmark model (libdlib-data) is not installed";
    }
    const QString example = QStringLiteral(MUGWARP_EXAMPLE_PICTURE);
    QProcess list;
    list.start(QStringLiteral(MUGWARP_BATCH_PROGRAM), {"--faces", example});
    ASSERT_TRUE(list.waitForFinished(60000));
    EXPECT_EQ(list.exitCode(), 0);
    const QStringList lines =
        QString::fromLocal8Bit(list.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0].split(u' ').size(), 4 + 68);

    const QString caricature = path("caricature.png");
    ASSERT_EQ(run({example, caricature, "caricature", "60"}).exitCode, 0);
    const QImage original = formats::readPictureFile(example);
    const QImage changed = formats::readPictureFile(caricature);
    ASSERT_EQ(changed.size(), original.size());
    EXPECT_NE(changed, original);
    // The corners lie far outside the face's ring: untouched.
    EXPECT_EQ(changed.copy(0, 0, 20, 20), original.copy(0, 0, 20, 20));
    EXPECT_EQ(run({example, path("smile.png"), "face", "smile", "50"}).exitCode, 0);
    EXPECT_EQ(run({example, path("x.png"), "face", "grin", "50"}).exitCode, 2);
    EXPECT_EQ(run({example, path("x.png"), "caricature", "400"}).exitCode, 1);

    // No face: exit 1, a message that says so, no output.
    const Outcome none = run({input, path("none.png"), "caricature", "60"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(none.errors.contains("no face")) << none.errors.toStdString();
    EXPECT_FALSE(QFile::exists(path("none.png")));
}

}  // namespace

TEST_F(BatchRun, PushesAndPlaysStrokeFilesThroughOneField) {
    const QString output = path("warped.bmp");
    const auto written = [&](const QStringList& operation) {
        EXPECT_EQ(run(QStringList{input, output} + operation).exitCode, 0)
            << operation.join(' ').toStdString();
        return formats::readPictureFile(output);
    };
    const QImage pushed = written({"push", "10", "15", "25", "15", "12", "80"});
    EXPECT_EQ(pushed, warp::warpPicture(picture, warp::straightPush({10, 15}, {25, 15}, 12, 80)));
    EXPECT_NE(pushed, picture);

    const QString stroke = path("stroke.txt");
    const auto writeStroke = [&](const char* text) {
        QFile file(stroke);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    writeStroke("push 10 15 12 80\npush 25 15 12 80 50\nreconstruct 20 15 40 100 100\n");
    EXPECT_EQ(written({"stroke", stroke}), picture);  // reconstructed to zero: bit for bit
    writeStroke("twirl-cw 20 15 12 100\nfreeze 5 5 4 100\n");
    EXPECT_NE(written({"stroke", stroke}), picture);

    QFile::remove(output);
    writeStroke("bloat 20 15 12 60\n\npush 1 2 three 4\n");
    const Outcome bad = run({input, output, "stroke", stroke});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.errors.indexOf("line 3"), -1) << bad.errors.toStdString();
    EXPECT_FALSE(QFile::exists(output));
    const Outcome folder = run({input, output, "stroke", this->folder.path()});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_NE(folder.errors.indexOf("is not a regular file"), -1);
    EXPECT_EQ(run({input, output, "push", "1", "1", "5", "5", "0", "50"}).exitCode, 1);
    EXPECT_FALSE(QFile::exists(output));
}

TEST_F(BatchRun, RefusesWhatIsNotAFileAtOnceAndTakesDashedNamesAfterDashes) {
    const QString pipe = path("pipe.bmp");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString output = path("out.png");
    // Read, the pipe would wait for ever and /dev/zero fill the memory.
    for (const QStringList& arguments : {
             QStringList{pipe, output},
             QStringList{"/dev/zero", output},
             QStringList{input, output, "stroke", pipe},
         }) {
        const Outcome result = run(arguments);
        EXPECT_EQ(result.exitCode, 1) << arguments.join(' ').toStdString();
        const QString& source = arguments[arguments[0] == input ? 3 : 0];
        EXPECT_TRUE(result.errors.contains(source + " is not a regular file: it is a "))
            << result.errors.toStdString();
    }
    EXPECT_FALSE(QFile::exists(output));

    // After "--" names may begin with dashes, even one that is an option of Qt's.
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    ASSERT_TRUE(QFile::copy(input, path("--in.bmp")));
    ASSERT_TRUE(QFile::copy(input, path("-reverse")));
    EXPECT_EQ(run({"--", "--in.bmp", "-out.png"}, environment, folder.path()).exitCode, 0);
    EXPECT_EQ(formats::readPictureFile(path("-out.png")), picture);
    EXPECT_EQ(run({"--repeat", "2", "--", "-reverse", "-h.bmp", "pinch", "12", "10", "9", "3"},
                  environment, folder.path())
                  .exitCode,
              0);
    QImage expected = picture;
    effects::NoProgress progress;
    for (int i = 0; i < 2; ++i) {
        effects::pinch(expected, 12, 10, 9, 3, progress);
    }
    EXPECT_EQ(formats::readPictureFile(path("-h.bmp")), expected);
    EXPECT_EQ(run({"--in.bmp", "out.png"}, environment, folder.path()).exitCode, 2);
}
