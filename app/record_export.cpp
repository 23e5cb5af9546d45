// The export of a record: the player program carried in our resources, followed by every
// frame file with its length word and the number of frames, built as a working file in the
// recorder folder and then copied where the user wants it. The same frames can be written as
// an animated GIF instead.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>
#include <vector>

#include "app/error_box.h"
#include "app/main_window.h"
#include "app/save_name.h"
#include "app/shared_state.h"
#include "formats/gif_animation_writer.h"
#include "formats/picture_file.h"
#include "tools/tool_palette.h"

namespace {

constexpr QFileDevice::Permissions kRunnable =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
    QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;

bool appendWord(QFile& target, quint32 value) {
    const quint32 little = qToLittleEndian(value);
    return target.write(reinterpret_cast<const char*>(&little), sizeof little) == sizeof little;
}

// Copies `source` to `target` through a file beside it that is renamed into place, so an
// existing file of that name is replaced whole or not at all; the copy can be run.
bool copyRunnable(const QString& source, const QString& target) {
    QFile in(source);
    QSaveFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) {
        return false;
    }
    while (!in.atEnd()) {
        const QByteArray block = in.read(1 << 20);
        if (block.isEmpty() || out.write(block) != block.size()) {
            out.cancelWriting();
            return false;
        }
    }
    if (!out.setPermissions(kRunnable)) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

}  // namespace

bool TForm1::ExtractRes(const QString& type, const QString& name, const QString& fileName) {
    QFile resource(":/" + type + "/" + name);
    if (!resource.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bytes = resource.readAll();
    QFile out(fileName);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    const bool written = out.write(bytes) == bytes.size() && out.flush();
    out.close();
    return written && out.error() == QFileDevice::NoError && out.setPermissions(kRunnable);
}

bool TForm1::Cjt_AddtoFile(const QString& source, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        return false;
    }
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return false;
    }
    qint64 copied = 0;
    while (!in.atEnd()) {
        const QByteArray block = in.read(1 << 20);
        if (block.isEmpty() || out.write(block) != block.size()) {
            return false;
        }
        copied += block.size();
    }
    if (copied + 4 > 0xffffffffLL) {
        return false;  // beyond what a length word can say
    }
    return appendWord(out, static_cast<quint32>(copied + 4)) && out.flush();
}

// A failure anywhere leaves no working file behind: a player whose count disagreed with its
// frames, or one a later export could append to, would be a damaged record.
void TForm1::Recorderto() {
    const QString working = RecorderFolder + PictureBaseName + ".exe";
    const auto fail = [&](const QString& what) {
        QFile::remove(working);
        showErrorBox("The record could not be exported: " + what);
    };
    if (!ExtractRes("exefile", "head", working)) {
        fail("the player cannot be written to " + QDir::toNativeSeparators(working) + ".");
        return;
    }
    const int frames = CurrentFrame;
    for (int k = 1; k <= frames; ++k) {
        if (!Cjt_AddtoFile(frameFilePath(k), working)) {
            fail("frame " + QString::number(k) + " (" + QDir::toNativeSeparators(frameFilePath(k)) +
                 ") cannot be read or added.");
            return;
        }
    }
    {
        QFile out(working);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Append) ||
            !appendWord(out, static_cast<quint32>(frames)) || !out.flush()) {
            out.close();
            fail("the number of frames cannot be written.");
            return;
        }
    }

    const std::optional<TTools::ExportChoice> choice = Tools->SaveDialog1();
    if (!choice) {
        return;  // the working file stays in the recorder folder
    }
    if (choice->type == TTools::kExportAnimation) {
        const QString target = forcedSaveName(choice->name, ".gif");
        // One frame at a time, from its slot or its frame file: a long record of a large
        // photograph would not fit in memory all at once.
        struct UnreadableFrame {
            int frame;
        };
        QByteArray gif;
        try {
            gif = formats::encodeGifAnimation(
                frames,
                [](int index) {
                    QImage picture = recordedFrame(index + 1);
                    if (picture.isNull()) {
                        throw UnreadableFrame{index + 1};
                    }
                    return picture;
                },
                10);
        } catch (const UnreadableFrame& unreadable) {
            showErrorBox("The record could not be exported: frame " +
                         QString::number(unreadable.frame) + " (" +
                         QDir::toNativeSeparators(frameFilePath(unreadable.frame)) +
                         ") cannot be read.");
            return;
        }
        formats::writeFileAtomically(target, gif);
        return;
    }
    const QString target = forcedSaveName(choice->name, ".exe");
    if (!copyRunnable(working, target)) {
        showErrorBox("The record could not be saved as " + QDir::toNativeSeparators(target) + ".");
    }
}
