// EPS files without a preview: their PostScript drawn by Ghostscript at 96 dpi.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "formats/format_error.h"
#include "formats/picture_file.h"
#include "formats/readers/format_readers.h"
#include "formats/readers/postscript_permission.h"
#include "formats/readers/postscript_renderer.h"
#include "formats/readers/postscript_run.h"
#include "formats/readers/postscript_sandbox.h"
#include "test_pictures.h"

namespace {

using formats::PostScriptPermission;
using formats::PostScriptRendering;
using formats_test::messageOf;
using formats_test::readData;

// Rendering is forbidden on a thread that nothing allowed it on, as on this test's.
struct AllowDrawing : PostScriptPermission {
    explicit AllowDrawing(const std::atomic<bool>* cancelled = nullptr)
        : PostScriptPermission(Rendering::Allowed, cancelled) {}
};

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
    const AllowDrawing drawing;
    const QByteArray eps = readData("postscript-rectangles.eps");
    expectRectangles(formats::readEps(eps));
    expectRectangles(formats::decodePicture(eps, "x.eps"));
    // The same program inside a DOS binary header.
    expectRectangles(formats::readEps(binaryEps(eps)));
}

// Written by a plotting program: a red rectangle over the middle half of a 3 x 2 inch plot.
TEST(EpsRendering, DrawsAPlotFile) {
    SKIP_WITHOUT_GHOSTSCRIPT();
    const AllowDrawing drawing;
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
    const AllowDrawing drawing;
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
    const AllowDrawing drawing;
    const QImage picture =
        formats::readEps(boxed("-5 0 5 7.5", "0 0 1 setrgbcolor -5 0 10 8 rectfill"));
    ASSERT_EQ(picture.size(), QSize(14, 10));  // 13.3 x 10 pixels
    expectColour(picture, 0, 0, 0, 0, 255);
    expectColour(picture, 12, 9, 0, 0, 255);
}

// What a stand-in interpreter does after leaving its mark: draw the page it is asked for, all
// black, as the real one would write it.
constexpr const char* kDrawsABlackPage =
    "for a in \"$@\"; do case \"$a\" in -g*) size=${a#-g};; esac; done\n"
    "w=${size%x*}; h=${size#*x}\n"
    "printf 'P6\\n%s %s\\n255\\n' \"$w\" \"$h\"\n"
    "head -c $((w * h * 3)) /dev/zero\n";

// A stand-in interpreter named gs that leaves a mark that it ran (outside a sandbox, which
// would hide it), then runs `body`.
class FakeInterpreter {
public:
    explicit FakeInterpreter(const QByteArray& body = {}) {
        program_ = folder_.filePath(QStringLiteral("gs"));
        mark_ = folder_.filePath(QStringLiteral("started"));
        QFile script(program_);
        EXPECT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\ntouch '" + mark_.toUtf8() + "' 2>/dev/null\n" + body);
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    PostScriptRendering rendering() const {
        PostScriptRendering how{program_, 2000};
        how.sandbox = PostScriptRendering::Sandbox::Off;
        return how;
    }
    QString folder() const { return folder_.path(); }
    bool started() const { return QFile::exists(mark_); }

private:
    QTemporaryDir folder_;
    QString program_;
    QString mark_;
};

TEST(EpsRendering, RefusesATooLargeBoxWithoutStartingTheInterpreter) {
    const AllowDrawing drawing;
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
    const AllowDrawing drawing;
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
    const AllowDrawing drawing;
    EXPECT_NE(messageOf([&] {
                  formats::readEps(boxed("0 0 10 10", "nosuchoperator"));
              }).find(kNotSupported),
              std::string::npos);
    EXPECT_NE(messageOf([&] {
                  formats::readEps(boxed("0 0 10 10", "(unterminated"));
              }).find(kNotSupported),
              std::string::npos);
}

TEST(EpsRendering, GivesTheProgramNoOtherFiles) {
    SKIP_WITHOUT_GHOSTSCRIPT();
    const AllowDrawing drawing;
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

// An environment variable set for the length of a test.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const QByteArray& value)
        : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
        qputenv(name, value);
    }
    ~ScopedVariable() {
        if (had_) {
            qputenv(name_, old_);
        } else {
            qunsetenv(name_);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    QByteArray old_;
    bool had_;
};

bool holdsRun(const QStringList& list, const QStringList& run) {
    for (qsizetype i = 0; i + run.size() <= list.size(); ++i) {
        if (list.mid(i, run.size()) == run) {
            return true;
        }
    }
    return false;
}

TEST(EpsRendering, TheSandboxLeavesOnlyTheScratchFolderWritable) {
    const QStringList gs = formats::interpreterArguments({192, 96, "/tmp/run/page.ps"});
    for (const char* argument : {"-dSAFER", "-dBATCH", "-g192x96", "-r96", "-sOutputFile=-",
                                 "-sstdout=%stderr", "-sDEVICE=ppmraw"}) {
        EXPECT_TRUE(gs.contains(QString::fromLatin1(argument))) << argument;
    }
    EXPECT_EQ(gs.last(), "/tmp/run/page.ps");

    formats::SandboxLayout layout{
        "/usr/bin/bwrap", "/opt/gs/bin/gs",   {{"/bin", "usr/bin"}, {"/lib64", ""}},
        "/tmp/run",       "/tmp/run/scratch", 5000};
    const QStringList sandbox = formats::sandboxArguments(layout, gs);
    for (const QStringList& run : QList<QStringList>{
             {"--unshare-all"},
             {"--die-with-parent"},
             {"--new-session"},
             {"--clearenv"},
             {"--ro-bind", "/usr", "/usr"},
             {"--symlink", "usr/bin", "/bin"},
             {"--ro-bind-try", "/lib64", "/lib64"},
             {"--ro-bind-try", "/etc/fonts", "/etc/fonts"},
             {"--dev", "/dev"},
             {"--proc", "/proc"},
             {"--ro-bind", "/opt/gs/bin/gs", "/opt/gs/bin/gs"},
             {"--setenv", "TMPDIR", "/tmp/run/scratch"},
             {"--setenv", "HOME", "/tmp/run/scratch"},
             {"--size", "5000", "--tmpfs", "/tmp/run/scratch"},
             {"--chdir", "/tmp/run/scratch"},
         }) {
        EXPECT_TRUE(holdsRun(sandbox, run)) << run.join(' ').toStdString();
    }
    // Nothing of this machine is writable, the network stays unshared, and the scratch memory
    // file system is mounted over the read-only page folder, not under it.
    for (const char* option : {"--bind", "--bind-try", "--dev-bind", "--share-net"}) {
        EXPECT_FALSE(sandbox.contains(QString::fromLatin1(option))) << option;
    }
    const qsizetype pageFolder = sandbox.indexOf("/tmp/run");
    ASSERT_GE(pageFolder, 1);
    EXPECT_EQ(sandbox[pageFolder - 1], "--ro-bind");
    EXPECT_LT(pageFolder, sandbox.indexOf("--tmpfs"));
    EXPECT_EQ(sandbox.mid(sandbox.indexOf("--")), QStringList({"--", layout.program}) + gs);
    // An interpreter under /usr is there already.
    layout.program = "/usr/bin/gs";
    EXPECT_FALSE(holdsRun(formats::sandboxArguments(layout, gs),
                          {"--ro-bind", "/usr/bin/gs", "/usr/bin/gs"}));
}

TEST(EpsRendering, DrawsOnlyWhereAllowedOneAtATimeAndStopsWhenCancelled) {
    const QByteArray eps = boxed("0 0 72 72", "");
    const FakeInterpreter fake(kDrawsABlackPage);
    // No permission on this thread, or a forbidding one inside an allowing one: nothing starts.
    EXPECT_NE(
        messageOf([&] { formats::readEpsRendering(eps, fake.rendering()); }).find(kNotSupported),
        std::string::npos);
    {
        const AllowDrawing drawing;
        const PostScriptPermission preview(PostScriptPermission::Rendering::Forbidden);
        EXPECT_NE(messageOf([&] {
                      formats::readEpsRendering(eps, fake.rendering());
                  }).find(kNotSupported),
                  std::string::npos);
    }
    EXPECT_FALSE(fake.started());
    {
        const AllowDrawing drawing;
        const QImage picture = formats::readEpsRendering(eps, fake.rendering());
        EXPECT_EQ(picture.size(), QSize(96, 96));
        EXPECT_EQ(picture.pixel(48, 48), qRgb(0, 0, 0));
    }
    EXPECT_TRUE(fake.started());

    // Two opens at once: the second interpreter starts when the first has ended.
    const QString log = fake.folder() + "/log";
    const FakeInterpreter logging("echo start >> '" + log.toUtf8() + "'\nsleep 0.3\necho end >> '" +
                                  log.toUtf8() + "'\n" + kDrawsABlackPage);
    auto draw = [&] {
        const AllowDrawing drawing;
        return formats::readEpsRendering(eps, logging.rendering()).size();
    };
    QSize otherSize;
    std::thread other([&] { otherSize = draw(); });
    EXPECT_EQ(draw(), QSize(96, 96));
    other.join();
    EXPECT_EQ(otherSize, QSize(96, 96));
    QFile written(log);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "start\nend\nstart\nend\n");

    // Cancel kills an interpreter that would sleep for half a minute.
    const FakeInterpreter sleeping("exec sleep 30\n");
    PostScriptRendering patient = sleeping.rendering();
    patient.timeoutMs = 60000;
    std::atomic<bool> cancelled{false};
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cancelled = true;
    });
    QElapsedTimer clock;
    clock.start();
    {
        const AllowDrawing drawing(&cancelled);
        EXPECT_THROW(formats::readEpsRendering(eps, patient), formats::PostScriptCancelled);
    }
    EXPECT_LT(clock.elapsed(), 2000);
    canceller.join();
}

// The limits are lowered so that each case ends within a second or two; with the sandbox and
// without it (the interpreter under its limits alone, as where bubblewrap cannot run).
const PostScriptRendering::Sandbox kSandboxes[] = {PostScriptRendering::Sandbox::WhereAvailable,
                                                   PostScriptRendering::Sandbox::Off};

TEST(EpsRendering, StopsAProgramThatFillsTheDisk) {
    SKIP_WITHOUT_GHOSTSCRIPT();
    const AllowDrawing drawing;
    // The renderer's folders are made in the temporary folder, so its use is what we watch.
    QTemporaryDir temporary;
    ASSERT_TRUE(temporary.isValid());
    const ScopedVariable tmpdir("TMPDIR", temporary.path().toUtf8());
    constexpr qint64 kBound = 4 * 1024 * 1024;
    // Without a sandbox, files beyond the first are caught by the watch, so a few more may be
    // written before it looks again.
    constexpr qint64 kWatchSlack = 64 * 1024 * 1024;
    const char* oneFile =
        "/b 65536 string def /f null (w) .tempfile exch pop def { f b writestring } loop";
    const char* manyFiles =
        "/b 65536 string def { null (w) .tempfile exch pop /f exch def "
        "0 1 15 { pop f b writestring } for f closefile } loop";
    for (const PostScriptRendering::Sandbox sandbox : kSandboxes) {
        for (const char* program : {oneFile, manyFiles}) {
            PostScriptRendering how;
            how.timeoutMs = 10000;
            how.writtenBytes = kBound;
            how.sandbox = sandbox;
            std::atomic<bool> done{false};
            std::atomic<qint64> peak{0};
            std::thread watch([&] {
                while (!done) {
                    peak = std::max(peak.load(), formats::folderUse(temporary.path()).bytes);
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            });
            QElapsedTimer clock;
            clock.start();
            const std::string message =
                messageOf([&] { formats::readEpsRendering(boxed("0 0 10 10", program), how); });
            const qint64 elapsed = clock.elapsed();
            done = true;
            watch.join();
            const bool sandboxed = formats::postScriptSandboxInUse(how);
            SCOPED_TRACE(std::string(program) + (sandboxed ? " (sandboxed)" : " (not sandboxed)"));
            EXPECT_EQ(message,
                      "Cannot load image. The EPS PostScript wrote more than 4.0 MB, so it was "
                      "stopped.");
            EXPECT_LT(elapsed, 5000);
            EXPECT_LE(peak.load(),
                      program == oneFile || sandboxed ? kBound + 4096 : kBound + kWatchSlack);
            EXPECT_TRUE(QDir(temporary.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot));
        }
    }
}

TEST(EpsRendering, StopsAProgramThatGrowsItsMemoryOrRunsForEver) {
    SKIP_WITHOUT_GHOSTSCRIPT();
    const AllowDrawing drawing;
    struct Case {
        const char* program;
        int cpuSeconds;
        int timeoutMs;
        const char* message;
    };
    const Case cases[] = {
        {"/a [ 0 1 100000 { pop 1000000 string } for ] def", 15, 10000,
         "Cannot load image. Drawing the EPS PostScript needed more than 256.0 MB of memory, so it "
         "was stopped."},
        {"{} loop", 1, 10000,
         "Cannot load image. Drawing the EPS PostScript used more than 1 seconds of processor "
         "time, so it was stopped."},
        {"{} loop", 15, 1000,
         "Cannot load image. Drawing the EPS PostScript took longer than 1 seconds, so it was "
         "stopped."},
    };
    for (const PostScriptRendering::Sandbox sandbox : kSandboxes) {
        for (const Case& c : cases) {
            PostScriptRendering how;
            how.cpuSeconds = c.cpuSeconds;
            how.timeoutMs = c.timeoutMs;
            how.memoryBytes = 256 * 1024 * 1024;
            how.sandbox = sandbox;
            SCOPED_TRACE(std::string(c.program) +
                         (formats::postScriptSandboxInUse(how) ? " (sandboxed)" : ""));
            QElapsedTimer clock;
            clock.start();
            EXPECT_EQ(
                messageOf([&] { formats::readEpsRendering(boxed("0 0 10 10", c.program), how); }),
                c.message);
            EXPECT_LT(clock.elapsed(), 5000);
        }
    }
}

TEST(EpsRendering, PostScriptUnderAnotherNameIsNeverDrawn) {
    // The stand-in draws a black page for every PostScript program it is handed.
    const FakeInterpreter fake(kDrawsABlackPage);
    const ScopedVariable path("PATH", fake.folder().toUtf8() + ':' + qgetenv("PATH"));
    const AllowDrawing drawing;
    const QByteArray eps = boxed("0 0 72 72", "");
    for (const char* name : {"x.eps", "x.EPSF", "x.epsi", "x.Ps"}) {
        EXPECT_EQ(formats::decodePicture(eps, name).size(), QSize(96, 96)) << name;
    }
    const std::string refused =
        "holiday.jpg holds PostScript, which Mugwarp draws only from files named .eps, .epsf, "
        ".epsi or .ps.";
    EXPECT_EQ(messageOf([&] { formats::decodePicture(eps, "holiday.jpg"); }), refused);
    EXPECT_EQ(messageOf([&] { formats::decodePicture(binaryEps(eps), "holiday.jpg"); }), refused);
    EXPECT_EQ(messageOf([&] { formats::decodePicture("%!PS\n0 0 9 9 rectfill\n", "holiday.jpg"); }),
              refused);
    QTemporaryDir folder;
    const QString saved = folder.filePath("holiday.jpg");
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(eps);
    file.close();
    EXPECT_NE(messageOf([&] { formats::readPictureFile(saved); }).find("holds PostScript"),
              std::string::npos);
    // A binary header's own preview needs no interpreter and still shows.
    const QByteArray epsi = readData("netpbm-framed-preview.epsi");
    EXPECT_EQ(formats::decodePicture(binaryEps(epsi), "holiday.jpg"), formats::readEps(epsi));
}

}  // namespace
