// EPS files without a preview: their PostScript drawn by Ghostscript at 96 dpi.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <string>

#include "formats/format_error.h"
#include "formats/picture_file.h"
#include "formats/readers/format_readers.h"
#include "formats/readers/postscript_renderer.h"
#include "test_pictures.h"

namespace {

using formats_test::messageOf;
using formats_test::readData;

constexpr const char* kNotSupported = "PostScript without a preview is not supported";

#define SKIP_WITHOUT_GHOSTSCRIPT()                                   \
    if (!formats::postScriptRendererAvailable()) {                   \
        GTEST_SKIP() << "gs is not on the PATH (or this build does " \
                        "not start it)";                             \
    }

void expectColour(const QImage& picture, int x, int y, int red, int green, int blue) {
    const QRgb pixel = picture.pixel(x, y);
    EXPECT_NEAR(qRed(pixel), red, 2) << "at " << x << "," << y;
    EXPECT_NEAR(qGreen(pixel), green, 2) << "at " << x << "," << y;
    EXPECT_NEAR(qBlue(pixel), blue, 2) << "at " << x << "," << y;
}

// postscript-rectangles.eps: the box 10 20 154 92 is 144 x 72 points, 192 x 96 pixels; red,
// green and blue quarters, a grey square in the white fourth, black only outside the box.
void expectRectangles(const QImage& picture) {
    ASSERT_EQ(picture.format(), QImage::Format_BGR888);
    ASSERT_EQ(picture.size(), QSize(192, 96));
    expectColour(picture, 0, 95, 255, 0, 0);  // the box's lower left corner, not black
    expectColour(picture, 48, 72, 255, 0, 0);
    expectColour(picture, 95, 48, 255, 0, 0);
    expectColour(picture, 0, 0, 0, 255, 0);
    expectColour(picture, 48, 24, 0, 255, 0);
    expectColour(picture, 97, 1, 0, 0, 255);
    expectColour(picture, 191, 0, 0, 0, 255);
    expectColour(picture, 144, 72, 128, 128, 128);  // the grey square: 120..168 x 56..88
    expectColour(picture, 122, 58, 128, 128, 128);
    expectColour(picture, 110, 72, 255, 255, 255);
    expectColour(picture, 144, 92, 255, 255, 255);
    expectColour(picture, 190, 52, 255, 255, 255);
    expectColour(picture, 191, 95, 255, 255, 255);
}

void putLittle32(QByteArray& bytes, int at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<char>(value >> (8 * i));
    }
}

// A DOS binary EPS holding only the PostScript section.
QByteArray binaryEps(const QByteArray& postscript) {
    QByteArray eps("\xC5\xD0\xD3\xC6", 4);
    eps.append(QByteArray(26, '\0'));
    putLittle32(eps, 4, 30);
    putLittle32(eps, 8, static_cast<uint32_t>(postscript.size()));
    eps[28] = eps[29] = '\xFF';
    return eps + postscript;
}

QByteArray boxed(const char* box, const char* program) {
    return QByteArray("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: ") + box + "\n%%EndComments\n" +
           program + "\n";
}

bool allWhite(const QImage& picture) {
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (picture.pixel(x, y) != qRgb(255, 255, 255)) {
                return false;
            }
        }
    }
    return true;
}

TEST(EpsRendering, DrawsTheBoundingBoxAt96Dpi) {
    SKIP_WITHOUT_GHOSTSCRIPT();
    const QByteArray eps = readData("postscript-rectangles.eps");
    expectRectangles(formats::readEps(eps));
    expectRectangles(formats::decodePicture(eps, "x.eps"));
    // The same program inside a DOS binary header.
    expectRectangles(formats::readEps(binaryEps(eps)));
}

// Written by a plotting program: a red rectangle over the middle half of a 3 x 2 inch plot.
TEST(EpsRendering, DrawsAPlotFile) {
    SKIP_WITHOUT_GHOSTSCRIPT();
    const QImage picture = formats::readEps(readData("gnuplot-red-square.eps"));
    ASSERT_EQ(picture.size(), QSize(288, 192));  // box 50 50 266 194
    expectColour(picture, 144, 96, 255, 0, 0);
    expectColour(picture, 75, 51, 255, 0, 0);
    expectColour(picture, 212, 140, 255, 0, 0);
    expectColour(picture, 68, 96, 255, 255, 255);
    expectColour(picture, 220, 96, 255, 255, 255);
    expectColour(picture, 144, 44, 255, 255, 255);
    expectColour(picture, 144, 148, 255, 255, 255);
    expectColour(picture, 2, 2, 255, 255, 255);
}

TEST(EpsRendering, DrawsAFileWithoutShowpageAndWithItsBoxAtTheEnd) {
    SKIP_WITHOUT_GHOSTSCRIPT();
    QByteArray eps = readData("postscript-rectangles.eps");
    eps.replace("showpage\n", "");
    eps.replace("%%BoundingBox: 10 20 154 92", "%%BoundingBox: (atend)");
    eps.replace("%%EOF", "%%Trailer\n%%BoundingBox: 10 20 154 92\n%%EOF");
    expectRectangles(formats::readEps(eps));
    // A program that shows two pages still gives one picture: the first.
    QByteArray twice = readData("postscript-rectangles.eps");
    twice.replace("showpage\n", "showpage\n0 0 0 setrgbcolor 0 0 200 200 rectfill showpage\n");
    expectRectangles(formats::readEps(twice));
}

TEST(EpsRendering, RoundsAFractionalBoxUp) {
    SKIP_WITHOUT_GHOSTSCRIPT();
    const QImage picture =
        formats::readEps(boxed("-5 0 5 7.5", "0 0 1 setrgbcolor -5 0 10 8 rectfill"));
    ASSERT_EQ(picture.size(), QSize(14, 10));  // 13.3 x 10 pixels
    expectColour(picture, 0, 0, 0, 0, 255);
    expectColour(picture, 12, 9, 0, 0, 255);
}

// A stand-in interpreter that only leaves a mark that it ran.
class FakeInterpreter {
public:
    FakeInterpreter() {
        program_ = folder_.filePath(QStringLiteral("fake-gs"));
        mark_ = folder_.filePath(QStringLiteral("started"));
        QFile script(program_);
        EXPECT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\ntouch '" + mark_.toUtf8() + "'\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    formats::PostScriptRendering rendering() const { return {program_, 2000}; }
    bool started() const { return QFile::exists(mark_); }

private:
    QTemporaryDir folder_;
    QString program_;
    QString mark_;
};

TEST(EpsRendering, RefusesATooLargeBoxWithoutStartingTheInterpreter) {
    const FakeInterpreter fake;
    const std::string message = messageOf(
        [&] { formats::readEpsRendering(boxed("0 0 30000 10", "showpage"), fake.rendering()); });
    EXPECT_NE(message.find("EPS"), std::string::npos) << message;
    EXPECT_NE(message.find("40000"), std::string::npos) << message;
    EXPECT_FALSE(fake.started());
    // Far beyond any limit, and the product of both sides too large while each side is not.
    EXPECT_NE(messageOf([&] {
                  formats::readEpsRendering(boxed("0 0 1e300 1e300", ""), fake.rendering());
              }).find("EPS"),
              std::string::npos);
    EXPECT_NE(messageOf([&] {
                  formats::readEpsRendering(boxed("0 0 20000 20000", ""), fake.rendering());
              }).find("EPS"),
              std::string::npos);
    EXPECT_FALSE(fake.started());

    // A box of a fair size does start it; it draws nothing, so the file is refused as before.
    EXPECT_NE(messageOf([&] {
                  formats::readEpsRendering(boxed("0 0 72 72", "showpage"), fake.rendering());
              }).find(kNotSupported),
              std::string::npos);
    EXPECT_TRUE(fake.started());
}

TEST(EpsRendering, RefusesAMissingOrAbsurdBox) {
    const FakeInterpreter fake;
    for (const char* eps : {
             "%!PS-Adobe-3.0 EPSF-3.0\n0 0 10 10 rectfill\n",
             "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: (atend)\n",
             "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10\n",
             "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 ten 10\n",
             "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 nan 10\n",
             "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 inf 10\n",
             "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 10 0 10 10\n",
             "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 10 10 -10\n",
             "%!PS-Adobe-3.0 EPSF-3.0\n% %%BoundingBox: 0 0 10 10\n",
         }) {
        const std::string message =
            messageOf([&] { formats::readEpsRendering(QByteArray(eps), fake.rendering()); });
        EXPECT_NE(message.find("EPS bounding box"), std::string::npos) << eps << message;
    }
    EXPECT_FALSE(fake.started());
}

TEST(EpsRendering, KeepsTheOldRefusalWithoutAnInterpreter) {
    const formats::PostScriptRendering missing{QStringLiteral("/nonexistent/gs"), 2000};
    EXPECT_FALSE(formats::postScriptRendererAvailable(missing));
    const QByteArray eps = readData("postscript-rectangles.eps");
    EXPECT_EQ(messageOf([&] { formats::readEpsRendering(eps, missing); }),
              "Cannot load image. PostScript without a preview is not supported for EPS files.");
    EXPECT_EQ(messageOf([&] { formats::readEpsRendering(binaryEps(eps), missing); }),
              "Cannot load image. The EPS file holds no TIFF, WMF or text preview.");
}

TEST(EpsRendering, KeepsTheOldRefusalWhenTheProgramFails) {
    SKIP_WITHOUT_GHOSTSCRIPT();
    EXPECT_NE(messageOf([&] {
                  formats::readEps(boxed("0 0 10 10", "nosuchoperator"));
              }).find(kNotSupported),
              std::string::npos);
    EXPECT_NE(messageOf([&] {
                  formats::readEps(boxed("0 0 10 10", "(unterminated"));
              }).find(kNotSupported),
              std::string::npos);
}

TEST(EpsRendering, StopsAProgramThatNeverEnds) {
    SKIP_WITHOUT_GHOSTSCRIPT();
    QElapsedTimer clock;
    clock.start();
    const std::string message = messageOf([&] {
        formats::readEpsRendering(boxed("0 0 10 10", "{} loop"), {QString(), 2000});
    });
    EXPECT_NE(message.find("longer than 2 seconds"), std::string::npos) << message;
    EXPECT_LT(clock.elapsed(), 10000);
}

TEST(EpsRendering, GivesTheProgramNoOtherFiles) {
    SKIP_WITHOUT_GHOSTSCRIPT();
    QTemporaryDir folder;
    const QString victim = folder.filePath(QStringLiteral("keep-me"));
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("still here\n");
    }
    const QByteArray remove = "(" + victim.toUtf8() + ") deletefile";
    const QByteArray write = "(" + victim.toUtf8() + ") (w) file dup (gone) writestring closefile";
    // Draws black where the first line of the password file is longer than nothing.
    const char* read =
        "/line 256 string def (/etc/passwd) (r) file line readline pop length 0 gt "
        "{0 0 10 10 rectfill} if";
    for (const QByteArray& program : {remove, write, QByteArray(read)}) {
        try {
            const QImage picture = formats::readEps(boxed("0 0 10 10", program.constData()));
            EXPECT_TRUE(allWhite(picture)) << program.constData();
        } catch (const formats::FormatError& error) {
            EXPECT_NE(std::string(error.what()).find(kNotSupported), std::string::npos);
        }
    }
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "still here\n");
}

}  // namespace
