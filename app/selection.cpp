// The zone commands of the main window: the selection mode, cutting the picture down to the
// zone, copying the zone to the clipboard and pasting a picture from it.
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTabWidget>
#include <QToolButton>

#include "app/main_window.h"
#include "app/shared_state.h"
#include "effects/zone_crop.h"
#include "formats/picture_file.h"
#include "formats/picture_limits.h"
#include "tools/tool_palette.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

constexpr const char* kSelectingHint = "You are selecting a zone to cut ";

void setNotebookHintShown(bool shown) {
    Tools->TabbedNotebook1->setToolTip(shown ? kSelectingHint : "");
}

// The end of the selection mode that cut and paste share.
void leaveSelectionAfterNewPicture() {
    SelectMode = 0;
    Form1->SpeedButton11->setEnabled(false);
    Form1->Action6->setEnabled(false);
    Tools->TabbedNotebook1->setEnabled(true);
    setNotebookHintShown(false);
    Work_area->Image1->setHintShown(true);
    Tools->TabbedNotebook1->setCurrentIndex(kDistortPage);
}

// The picture the clipboard offers: Qt's own image when the platform made one, otherwise
// PNG, BMP, JPEG, WebP, HEIF, AVIF or JPEG XL bytes, read by our own readers with their checks and
// size limits. Null when the clipboard holds no picture.
QImage clipboardPicture() {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (data == nullptr) {
        return {};
    }
    if (data->hasImage()) {
        const QImage image = qvariant_cast<QImage>(data->imageData());
        if (!image.isNull()) {
            return image;
        }
    }
    for (const char* type : {"image/png", "image/bmp", "image/x-bmp", "image/jpeg", "image/webp",
                             "image/heic", "image/heif", "image/avif", "image/jxl"}) {
        if (data->hasFormat(type)) {
            return formats::decodePicture(data->data(type), "The clipboard's picture");
        }
    }
    return {};
}

}  // namespace

std::optional<QImage> TForm1::selectedZone() const {
    const QImage& picture = Work_area->picture();
    // The picture may have changed size since the zone was drawn (undo, image size).
    const ZoneRect zone = zoneInPicture(SelectionRect, picture.width(), picture.height());
    if (picture.isNull() || !zoneHasPixels(zone)) {
        return std::nullopt;
    }
    return effects::cropToZone(picture, zone.left, zone.top, zone.right, zone.bottom);
}

void TForm1::SpeedButton2Click() {
    if (SelectMode == 0) {
        SelectMode = 1;
        Work_area->RemoveTheBrush();
        Work_area->Image1->setHintShown(false);
        setNotebookHintShown(true);
        Work_area->Image1->setCursor(Qt::CrossCursor);
        return;
    }
    SelectMode = 0;
    SpeedButton11->setChecked(true);  // shows the select button released
    SpeedButton11->setEnabled(false);
    Tools->TabbedNotebook1->setEnabled(true);
    Work_area->RemoveTheRect2();
    Work_area->Image1->setHintShown(true);
    setNotebookHintShown(false);
    Work_area->Image1->setCursor(Qt::CrossCursor);
}

void TForm1::SpeedButton11Click() {
    const std::optional<QImage> zone = selectedZone();
    if (!zone) {
        return;  // no pixels to cut out: the picture stays whole
    }
    Work_area->RemoveTheRect2();
    Work_area->setPicture(*zone);
    Work_area->fitPictureToZoom();
    leaveSelectionAfterNewPicture();
    backup();
    Work_area->setsigncursor();
    RestartHistory(false);
}

void TForm1::Action6Execute() {
    if (const std::optional<QImage> zone = selectedZone()) {
        QApplication::clipboard()->setImage(zone->convertToFormat(QImage::Format_RGB32));
    }
}

void TForm1::Action9Execute() {
    const QImage pasted = clipboardPicture();
    if (pasted.isNull()) {
        return;  // nothing to paste: the picture, its history and the zone stay
    }
    formats::checkPictureSize(pasted.width(), pasted.height(), "pasted");
    QImage picture = formats::toPicture24(pasted);
    Work_area->RemoveTheRect2();
    Work_area->setPicture(std::move(picture));
    Work_area->fitPictureToZoom();
    SpeedButton11->setChecked(true);
    leaveSelectionAfterNewPicture();
    backup();
    Work_area->setsigncursor();
    RestartHistory(false);
}
