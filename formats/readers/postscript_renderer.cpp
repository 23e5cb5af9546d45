#include "formats/readers/postscript_renderer.h"

#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <cmath>

#include "formats/format_error.h"
#include "formats/picture_limits.h"
#include "formats/readers/portable_map_reader.h"

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

}  // namespace

bool postScriptRendererAvailable(const PostScriptRendering& how) {
    return !interpreter(how).isEmpty();
}

std::optional<QImage> renderPostScript(const QByteArray& postscript,
                                       const PostScriptRendering& how) {
    const QString program = interpreter(how);
#ifndef MUGWARP_NO_POSTSCRIPT_RENDERER
    if (program.isEmpty()) {
        return std::nullopt;
    }
#endif
    const Box box = boundingBox(postscript);
    const qint64 width = pixelsFor(box.urx - box.llx);
    const qint64 height = pixelsFor(box.ury - box.lly);
    checkPictureSize(width, height, "EPS");
    if (program.isEmpty()) {
        return std::nullopt;
    }

    QTemporaryDir folder;
    if (!folder.isValid()) {
        return std::nullopt;
    }
    const QString input = folder.filePath(QStringLiteral("page.ps"));
    const QString output = folder.filePath(QStringLiteral("page.ppm"));
    {
        QFile file(input);
        if (!file.open(QIODevice::WriteOnly) || file.write(pageProgram(postscript, box)) < 0) {
            return std::nullopt;
        }
    }

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("GS_OPTIONS"));  // nothing may undo the options below
    // Even in safe mode the interpreter may write in the temporary folder, so that is ours.
    for (const char* name : {"TMPDIR", "TEMP", "TMP"}) {
        environment.insert(QString::fromLatin1(name), folder.path());
    }
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder.path());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, {
                               QStringLiteral("-dSAFER"),
                               QStringLiteral("-dBATCH"),
                               QStringLiteral("-dNOPAUSE"),
                               QStringLiteral("-dQUIET"),
                               QStringLiteral("-dNOPROMPT"),
                               QStringLiteral("-dNOINTERPOLATE"),
                               QStringLiteral("-dTextAlphaBits=4"),
                               QStringLiteral("-dGraphicsAlphaBits=4"),
                               QStringLiteral("-sDEVICE=ppmraw"),
                               QStringLiteral("-r%1").arg(kPostScriptDpi),
                               QStringLiteral("-g%1x%2").arg(width).arg(height),
                               QStringLiteral("-sOutputFile=") + output,
                               input,
                           });
    if (!process.waitForStarted()) {
        return std::nullopt;
    }
    if (!process.waitForFinished(how.timeoutMs)) {
        process.kill();
        process.waitForFinished();
        throw FormatError(
            QStringLiteral("Cannot load image. Drawing the EPS PostScript took longer than %1 "
                           "seconds, so it was stopped.")
                .arg(how.timeoutMs / 1000.0)
                .toStdString());
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt;
    }
    QFile file(output);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPictureFileBytes) {
        return std::nullopt;
    }
    const QImage picture = readPortableMap(file.readAll());
    if (picture.width() != width || picture.height() != height) {
        return std::nullopt;
    }
    return picture;
}

}  // namespace formats
