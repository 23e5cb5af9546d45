#include "formats/readers/postscript_renderer.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <csignal>
#include <mutex>

#include "formats/format_error.h"
#include "formats/picture_limits.h"
#include "formats/readers/portable_map_reader.h"
#include "formats/readers/postscript_run.h"
#include "formats/readers/postscript_sandbox.h"

namespace formats {
namespace {

constexpr QByteArrayView kBoundingBox = "%%BoundingBox:";
// No page is this large in points (about 350 km); beyond it the box is nonsense.
constexpr double kMaxCoordinate = 1e9;

struct Box {
    double llx, lly, urx, ury;
};

[[noreturn]] void throwBadBox(const char* what) {
    throw FormatError(QStringLiteral("Cannot load image. The EPS bounding box %1.")
                          .arg(QString::fromLatin1(what))
                          .toStdString());
}

// The text after each %%BoundingBox: that starts a line, in file order.
QList<QByteArray> boxComments(const QByteArray& text) {
    QList<QByteArray> found;
    qsizetype at = 0;
    while ((at = text.indexOf(kBoundingBox, at)) >= 0) {
        if (at == 0 || text[at - 1] == '\n' || text[at - 1] == '\r') {
            const qsizetype start = at + kBoundingBox.size();
            qsizetype end = start;
            while (end < text.size() && text[end] != '\n' && text[end] != '\r') {
                ++end;
            }
            found.append(text.mid(start, end - start).simplified());
        }
        at += kBoundingBox.size();
    }
    return found;
}

// The header's box, or the trailer's when the header defers it with (atend).
Box boundingBox(const QByteArray& postscript) {
    const QList<QByteArray> comments = boxComments(postscript);
    if (comments.isEmpty()) {
        throwBadBox("is missing");
    }
    QByteArray text = comments.first();
    if (text == "(atend)") {
        text = comments.last();
    }
    const QList<QByteArray> fields = text.split(' ');
    if (fields.size() != 4) {
        throwBadBox("does not hold four numbers");
    }
    double value[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        value[i] = fields[i].toDouble(&ok);
        if (!ok || !std::isfinite(value[i]) || std::fabs(value[i]) > kMaxCoordinate) {
            throwBadBox("does not hold four numbers");
        }
    }
    const Box box{value[0], value[1], value[2], value[3]};
    if (box.urx <= box.llx || box.ury <= box.lly) {
        throwBadBox("is empty");
    }
    return box;
}

qint64 pixelsFor(double points) {
    return static_cast<qint64>(std::ceil(points * kPostScriptDpi / 72.0 - 1e-9));
}

QString interpreter(const PostScriptRendering& how) {
#ifdef MUGWARP_NO_POSTSCRIPT_RENDERER
    (void)how;
    return {};
#else
    if (!how.program.isEmpty()) {
        const QFileInfo file(how.program);
        return file.isFile() && file.isExecutable() ? file.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(QStringLiteral("gs"));
#endif
}

QByteArray number(double value) {
    return QByteArray::number(value, 'f', 6);
}

// The program moved so that the box's lower left corner is the page's. Exactly one page comes
// out: the first showpage ends the program, and a program without one gets it at its end.
QByteArray pageProgram(const QByteArray& postscript, const Box& box) {
    QByteArray program;
    program.reserve(postscript.size() + 200);
    program +=
        "%!PS\n/MugwarpShowPage /showpage load def\n/showpage { MugwarpShowPage quit } def\n";
    program += number(-box.llx) + ' ' + number(-box.lly) + " translate\n";
    program += postscript;
    program += "\nMugwarpShowPage\n";
    return program;
}

// One interpreter at a time in the whole program; a second request waits for its turn, and
// gives up when its open is cancelled meanwhile.
class InterpreterTurn {
public:
    InterpreterTurn() {
        while (!turn().try_lock_for(std::chrono::milliseconds(50))) {
            if (PostScriptPermission::cancelRequested()) {
                throw PostScriptCancelled();
            }
        }
    }
    ~InterpreterTurn() { turn().unlock(); }
    InterpreterTurn(const InterpreterTurn&) = delete;
    InterpreterTurn& operator=(const InterpreterTurn&) = delete;

private:
    static std::timed_mutex& turn() {
        static std::timed_mutex mutex;
        return mutex;
    }
};

QString sandboxProgram(const PostScriptRendering& how) {
    return how.sandbox == PostScriptRendering::Sandbox::Off
               ? QString()
               : QStandardPaths::findExecutable(QStringLiteral("bwrap"));
}

// The portable map's raster and its header ("P6", a comment naming the interpreter, the size
// and 255).
qint64 pageBytes(qint64 width, qint64 height) {
    return 3 * width * height + 128;
}

QString megabytes(qint64 bytes) {
    return QString::number(bytes / (1024.0 * 1024.0), 'f', 1);
}

[[noreturn]] void throwStopped(const QString& why) {
    throw FormatError(
        (QStringLiteral("Cannot load image. ") + why + QStringLiteral(", so it was stopped."))
            .toStdString());
}

// The limit that stopped the run, as an error; returns when it ended by itself.
void throwForLimit(const WatchedRun& run, const PostScriptRendering& how, qint64 written,
                   bool sandboxed) {
    // bubblewrap reports a program ended by a signal as 128 plus the signal.
    const int signal = run.signal != 0                   ? run.signal
                       : sandboxed && run.exitCode > 128 ? run.exitCode - 128
                                                         : 0;
    const QString wrote =
        QStringLiteral("The EPS PostScript wrote more than %1 MB").arg(megabytes(written));
    switch (run.ending) {
        case WatchedRun::Ending::Cancelled:
            throw PostScriptCancelled();
        case WatchedRun::Ending::TimedOut:
            throwStopped(QStringLiteral("Drawing the EPS PostScript took longer than %1 seconds")
                             .arg(how.timeoutMs / 1000.0));
        case WatchedRun::Ending::OutputTooLong:
        case WatchedRun::Ending::ScratchFull:
            throwStopped(wrote);
        case WatchedRun::Ending::NotStarted:
        case WatchedRun::Ending::Exited:
            break;
    }
    if (signal == SIGXCPU) {
        throwStopped(
            QStringLiteral("Drawing the EPS PostScript used more than %1 seconds of processor time")
                .arg(how.cpuSeconds));
    }
    if (signal == SIGXFSZ || run.errors.contains("Last OS error: No space left on device")) {
        throwStopped(wrote);
    }
    if (run.errors.contains("/VMerror") || signal == SIGSEGV || signal == SIGABRT ||
        signal == SIGBUS) {
        throwStopped(QStringLiteral("Drawing the EPS PostScript needed more than %1 MB of memory")
                         .arg(megabytes(how.memoryBytes)));
    }
}

}  // namespace

bool postScriptRendererAvailable(const PostScriptRendering& how) {
    return !interpreter(how).isEmpty();
}

bool postScriptSandboxInUse(const PostScriptRendering& how) {
    const QString bwrap = sandboxProgram(how);
    const QString program = interpreter(how);
    if (bwrap.isEmpty() || program.isEmpty()) {
        return false;
    }
    QTemporaryDir folder;
    if (!folder.isValid() || !QDir(folder.path()).mkdir(QStringLiteral("scratch"))) {
        return false;
    }
    return sandboxWorks({bwrap, program, hostRootEntries(), folder.path(),
                         folder.filePath(QStringLiteral("scratch")), kPostScriptWriteMargin});
}

std::optional<QImage> renderPostScript(const QByteArray& postscript,
                                       const PostScriptRendering& how) {
    // The box is checked first, whether or not anything may be started, so that a bad one
    // gets its own message everywhere (and the fuzzers, which start nothing, still reach it).
    const Box box = boundingBox(postscript);
    const qint64 width = pixelsFor(box.urx - box.llx);
    const qint64 height = pixelsFor(box.ury - box.lly);
    checkPictureSize(width, height, "EPS");
    if (!PostScriptPermission::renderingAllowed()) {
        return std::nullopt;
    }
    const QString program = interpreter(how);
    if (program.isEmpty()) {
        return std::nullopt;
    }

    const InterpreterTurn turn;
    QTemporaryDir folder;
    if (!folder.isValid() || !QDir(folder.path()).mkdir(QStringLiteral("scratch"))) {
        return std::nullopt;
    }
    const QString input = folder.filePath(QStringLiteral("page.ps"));
    const QString scratch = folder.filePath(QStringLiteral("scratch"));
    {
        QFile file(input);
        if (!file.open(QIODevice::WriteOnly) || file.write(pageProgram(postscript, box)) < 0) {
            return std::nullopt;
        }
    }

    const qint64 written =
        how.writtenBytes > 0 ? how.writtenBytes : pageBytes(width, height) + kPostScriptWriteMargin;
    WatchedCommand command;
    command.environment = interpreterEnvironment(scratch);
    command.workingFolder = scratch;
    command.limits = {static_cast<uint64_t>(how.memoryBytes),
                      static_cast<uint64_t>(std::max(1, how.cpuSeconds)),
                      static_cast<uint64_t>(written)};
    command.timeoutMs = how.timeoutMs;
    command.outputBytes = pageBytes(width, height);
    command.scratchBytes = written;
    const QStringList arguments = interpreterArguments({width, height, input});
    const SandboxLayout layout{sandboxProgram(how), program, hostRootEntries(),
                               folder.path(),       scratch, written};
    const bool sandboxed = !layout.bwrap.isEmpty() && sandboxWorks(layout);
    if (sandboxed) {
        command.program = layout.bwrap;
        command.arguments = sandboxArguments(layout, arguments);
    } else {
        // Without a sandbox the scratch folder is ours to watch.
        command.program = program;
        command.arguments = arguments;
        command.watchedScratch = scratch;
    }

    const WatchedRun run = runWatched(command);
    throwForLimit(run, how, written, sandboxed);
    if (run.ending != WatchedRun::Ending::Exited || run.signal != 0 || run.exitCode != 0) {
        return std::nullopt;
    }
    QImage picture;
    try {
        picture = readPortableMap(run.output);
    } catch (const FormatError&) {
        return std::nullopt;
    }
    if (picture.width() != width || picture.height() != height) {
        return std::nullopt;
    }
    return picture;
}

}  // namespace formats
