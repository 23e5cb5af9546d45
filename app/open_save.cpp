// Opening a picture with a fresh history, and saving it as JPEG, BMP, WMF, GIF, PNG or WebP.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QStatusBar>
#include <QTabWidget>
#include <QUrl>

#include "app/background_open.h"
#include "app/error_box.h"
#include "app/handler_guard.h"
#include "app/main_window.h"
#include "app/picture_open_dialog.h"
#include "app/save_name.h"
#include "app/shared_state.h"
#include "formats/file_bytes.h"
#include "formats/format_error.h"
#include "formats/loader_rows.h"
#include "formats/picture_file.h"
#include "formats/picture_limits.h"
#include "formats/readers/postscript_permission.h"
#include "formats/webp_writer.h"
#include "formats/wmf_writer.h"
#include "tools/tool_palette.h"
#include "workarea/work_area.h"

namespace {

// The save dialog's entries, the extension each forces and, for WebP, the quality (0 lossless).
struct SaveType {
    const char* filter;
    const char* extension;
    int webpQuality;
};
const SaveType kSaveTypes[] = {
    {"*.jpg", ".jpg", 0},
    {"*.bmp", ".bmp", 0},
    {"*.wmf", ".wmf", 0},
    {"*.gif", ".gif", 0},
    {"*.png", ".png", 0},
    {"*.webp", ".webp", 0},
    {"Lossy WebP, quality 90 (*.webp)", ".webp", formats::kWebpLossyQuality},
};
constexpr int kSaveTypeCount = static_cast<int>(std::size(kSaveTypes));
// How long the status bar says that an open was cancelled.
constexpr int kCancelledStatusMs = 4000;

QStringList saveFilters() {
    QStringList filters;
    for (const SaveType& type : kSaveTypes) {
        filters.append(QString::fromLatin1(type.filter));
    }
    return filters;
}

}  // namespace

std::optional<QString> TForm1::showOpenDialog() {
    PictureOpenDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front();
}

std::optional<TForm1::SaveChoice> TForm1::showSaveDialog() {
    QFileDialog dialog(this, "Save");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = saveFilters();
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters[lastSaveFilter_]);
    if (!lastSaveName_.isEmpty()) {
        dialog.selectFile(lastSaveName_);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return SaveChoice{dialog.selectedFiles().front(),
                      std::max(0, static_cast<int>(filters.indexOf(dialog.selectedNameFilter())))};
}

QImage TForm1::LoadPicture(const QString& fileName) {
    // A name that does not exist would leave no picture at all; refuse it. What exists but is
    // no regular file (a folder, a pipe, a device) is refused by the reader, which says so.
    if (!QFileInfo::exists(fileName)) {
        throw formats::FormatError("The picture " + fileName.toStdString() + " does not exist.");
    }
    const formats::LoaderRow row = formats::loaderRowOf(fileName);
    // Set by the worker once the bytes are in: only the reader's own failures get the icon's box.
    auto fileRead = std::make_shared<std::atomic<bool>>(false);
    std::optional<QImage> picture;
    try {
        picture = decodeInBackground(
            this, fileName, [fileName, row, fileRead](const std::atomic<bool>& cancelled) {
                const QByteArray data = formats::readPictureBytes(fileName);
                fileRead->store(true);
                // The user chose this file: an EPS file may have its PostScript drawn, until
                // Cancel.
                const formats::PostScriptPermission drawing(
                    formats::PostScriptPermission::Rendering::Allowed, &cancelled);
                return formats::toPicture24(formats::readByLoaderRow(row, data, fileName));
            });
    } catch (const std::exception& error) {
        if (row != formats::LoaderRow::Icon || !fileRead->load()) {
            throw;
        }
        // The icon's own box; the open stops here so that no empty picture replaces the one on
        // screen.
        showCaptionedBox("Exit",
                         "Input picture" + fileName + "Error." + QString::fromUtf8(error.what()));
        return {};
    }
    if (!picture) {
        StatusBar1->showMessage(QStringLiteral("Opening cancelled"), kCancelledStatusMs);
        return {};
    }
    return *std::move(picture);
}

bool TForm1::takePicture(const QString& fileName) {
    QImage picture = LoadPicture(fileName);
    if (picture.isNull() || picture.width() < 1 || picture.height() < 1) {
        return false;
    }
    Work_area->setPicture(std::move(picture));
    PictureBaseName = pictureBaseNameOf(fileName);
    return true;
}

bool TForm1::ChoosePicture() {
    const std::optional<QString> chosen = runOpenDialog();
    return chosen && takePicture(*chosen);
}

TForm1::OpenedPicture TForm1::currentOpenedPicture() const {
    return {Work_area->picture(), PictureBaseName, RenewPicture};
}

void TForm1::finishOpen(const OpenedPicture& before) {
    // A picture just opened is meant to be seen.
    if (Work_area->isMinimized()) {
        Work_area->showNormal();
    }
    RenewPicture = Work_area->picture();
    Tools->TabbedNotebook1->setCurrentIndex(0);
    try {
        RestartHistory(true);
    } catch (const HistoryMemoryError&) {
        // No slot for the new picture: the open is undone, so the picture on screen is again
        // the one the kept history belongs to.
        Work_area->setPicture(before.picture);
        PictureBaseName = before.baseName;
        RenewPicture = before.renewPicture;
        Work_area->fitPictureToZoom();
        throw;
    } catch (...) {
        // Frame 1 could not be written; the picture is open with its new history all the same.
        Work_area->fitPictureToZoom();
        fitZoomToWindow(false);
        throw;
    }
    Work_area->fitPictureToZoom();
    // A large photograph is shown whole: the zoom steps down until it fits.
    fitZoomToWindow(false);
}

void TForm1::Open1Click() {
    const OpenedPicture before = currentOpenedPicture();
    if (ChoosePicture()) {
        finishOpen(before);
    }
}

bool TForm1::openPictureFile(const QString& fileName) {
    const OpenedPicture before = currentOpenedPicture();
    if (!takePicture(fileName)) {
        return false;
    }
    finishOpen(before);
    return true;
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
    }
}

// Several files dropped at once: the first one opens. It opens after the drop has ended, so
// the program the file was dragged from is not held in its drag while a slow file is read.
void TForm1::dropEvent(QDropEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            QMetaObject::invokeMethod(
                this,
                [this, fileName = url.toLocalFile()] {
                    guarded([&] { openPictureFile(fileName); });
                },
                Qt::QueuedConnection);
            return;
        }
    }
}

void TForm1::SaveAsMetafile(const QImage& picture, const QString& fileName) {
    const QString metafile = forcedSaveName(fileName, ".wmf");
    formats::writeFileAtomically(metafile, formats::encodeForFileName(picture, metafile));
}

void TForm1::Save1Click() {
    const std::optional<SaveChoice> choice = runSaveDialog();
    if (!choice) {
        return;
    }
    const int entry = std::clamp(choice->filterIndex, 0, kSaveTypeCount - 1);
    lastSaveFilter_ = entry;
    lastSaveName_ = choice->name;
    const QImage& picture = Work_area->picture();
    const SaveType& type = kSaveTypes[entry];
    // Every type, the metafile too, through the one encoder chosen by the file name.
    const QString fileName = forcedSaveName(choice->name, QString::fromLatin1(type.extension));
    formats::writeFileAtomically(fileName,
                                 formats::encodeForFileName(picture, fileName, type.webpQuality));
}
