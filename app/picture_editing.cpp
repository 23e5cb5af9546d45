#include "app/picture_editing.h"

#include "app/main_window.h"
#include "app/shared_state.h"
#include "workarea/work_area.h"

namespace editing {

namespace {

PictureControl* control() {
    return Work_area != nullptr ? Work_area->Image1 : nullptr;
}

}  // namespace

const QImage& currentPicture() {
    static const QImage none;
    PictureControl* image = control();
    return image != nullptr ? image->picture() : none;
}

double zoomPercent() {
    refreshZoomPercent();
    return ZoomPercent > 0 ? ZoomPercent : 100.0;
}

void showPreview(PicturePreview preview) {
    if (PictureControl* image = control()) {
        image->setPreview(std::move(preview));
    }
}

void dropPreview() {
    if (PictureControl* image = control()) {
        image->clearPreview();
    }
}

void commitStep(QImage picture) {
    if (Work_area == nullptr || Form1 == nullptr) {
        return;
    }
    Work_area->setPicture(std::move(picture));
    Form1->backup();
}

bool isRecording() {
    return Recording == 1;
}

void showFaceMarks(FaceMarks marks) {
    if (PictureControl* image = control()) {
        Work_area->feedbackOverlay()->showFaces(image, image->picture().size(), std::move(marks));
    }
}

void hideFaceMarks() {
    if (Work_area != nullptr) {
        Work_area->feedbackOverlay()->hideFaces();
    }
}

void setPictureTool(PictureTool* tool) {
    if (Work_area != nullptr) {
        Work_area->setPictureTool(tool);
    }
}

void setPictureHint(const QString& hint) {
    if (PictureControl* image = control()) {
        image->setToolTip(hint);
    }
}

void setPictureCursor(Qt::CursorShape shape) {
    if (PictureControl* image = control()) {
        image->setCursor(shape);
    }
}

QMetaObject::Connection whenPictureReplaced(QObject* receiver, std::function<void()> changed) {
    PictureControl* image = control();
    if (image == nullptr) {
        return {};
    }
    return QObject::connect(image, &PictureControl::pictureReplaced, receiver, std::move(changed));
}

}  // namespace editing
