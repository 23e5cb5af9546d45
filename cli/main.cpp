// mugwarp-batch: the editor's effects and codecs from the command line.
// Exit status 0 on success, 2 for bad arguments, 1 for any other failure; the output file is
// written only when everything else succeeded.
#include <QGuiApplication>
#include <QImage>
#include <QStringList>
#include <cstdio>
#include <exception>

#include "cli/batch_arguments.h"
#include "face/face_finder.h"
#include "formats/format_registrations.h"
#include "formats/picture_file.h"
#include "formats/readers/postscript_permission.h"

namespace {

void printLine(std::FILE* stream, const QString& text) {
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
}

// Each face as a line: its box (left top width height), then its 68 landmarks as x,y.
void listFaces(const QString& input) {
    const QImage picture = formats::readPictureFile(input);
    const std::vector<face::FoundFace> faces = face::findFaces(picture);
    if (faces.empty()) {
        throw std::runtime_error("no face was found in " + input.toStdString());
    }
    for (const face::FoundFace& found : faces) {
        QString line = QStringLiteral("%1 %2 %3 %4")
                           .arg(qRound(found.box.left()))
                           .arg(qRound(found.box.top()))
                           .arg(qRound(found.box.width()))
                           .arg(qRound(found.box.height()));
        for (const QPointF& point : found.points) {
            line += QStringLiteral(" %1,%2").arg(point.x(), 0, 'f', 1).arg(point.y(), 0, 'f', 1);
        }
        printLine(stdout, line);
    }
}

void run(const batch::BatchArguments& arguments) {
    // The files named on the command line are the user's to open: an EPS file without a preview
    // may have its PostScript drawn, within the interpreter's limits.
    const formats::PostScriptPermission drawing(formats::PostScriptPermission::Rendering::Allowed);
    if (arguments.listFaces) {
        listFaces(arguments.input);
        return;
    }
    QImage picture = formats::readPictureFile(arguments.input);
    if (arguments.operation != nullptr) {
        for (int i = 0; i < arguments.repeat; ++i) {
            if (arguments.operation->applyWithFiles != nullptr) {
                arguments.operation->applyWithFiles(picture, arguments.values, arguments.files);
            } else {
                arguments.operation->apply(picture, arguments.values);
            }
        }
    }
    formats::writeFileAtomically(
        arguments.output,
        formats::encodeForFileName(picture, arguments.output, arguments.webpQuality));
}

}  // namespace

int main(int argc, char** argv) {
    // Metafiles draw their text with the system's fonts, which need an application
    // object; no window is ever shown, so no display is needed either, whatever platform
    // the environment names for the desktop's programs.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own notes about the missing desktop would spoil the one-line messages.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg) {
            std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        }
    });
    // Qt sees none of the words: they are all the tool's, and a name such as "-reverse" or
    // "-platform" must not be taken as an option of Qt's.
    int qtArgumentCount = 1;
    QGuiApplication application(qtArgumentCount, argv);
    formats::registerPictureFormats();
    QStringList words;
    for (int i = 1; i < argc; ++i) {
        words.append(QString::fromLocal8Bit(argv[i]));
    }
    batch::BatchArguments arguments;
    try {
        arguments = batch::parseBatchArguments(words);
    } catch (const batch::UsageError& error) {
        printLine(stderr,
                  QStringLiteral("mugwarp-batch: %1").arg(QString::fromStdString(error.what())));
        std::fputs(batch::usageText().toLocal8Bit().constData(), stderr);
        return 2;
    }
    if (arguments.helpWanted) {
        std::fputs(batch::usageText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    try {
        run(arguments);
    } catch (const std::exception& error) {
        printLine(stderr,
                  QStringLiteral("mugwarp-batch: %1").arg(QString::fromStdString(error.what())));
        return 1;
    }
    return 0;
}
