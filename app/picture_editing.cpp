#include "app/picture_editing.h"

#include "app/main_window.h"
#include "app/shared_state.h"
#include "warp/warp_session.h"
#include "workarea/work_area.h"

#include <QScrollArea>
#include <cmath>

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

void commitInPlace(const std::function<void(QImage& picture)>& change) {
    PictureControl* image = control();
    if (image == nullptr || Form1 == nullptr || image->picture().isNull()) {
        return;
    }
    change(image->editablePicture());
    image->update();
    Form1->backup();
}

namespace {

warp::WarpSession& theWarpSession() {
    static warp::WarpSession session;
    return session;
}

}  // namespace

warp::WarpSession& warpSession() {
    warp::WarpSession& session = theWarpSession();
    session.follow(currentPicture());
    return session;
}

void warpSessionProduced() {
    theWarpSession().produced(currentPicture());
}

void extendPreview(const QRect& pictureArea) {
    if (PictureControl* image = control()) {
        image->extendPreview(pictureArea);
    }
}

void showBrush(QPointF centre, double radius) {
    PictureControl* image = control();
    if (image == nullptr || image->picture().isNull()) {
        return;
    }
    const double scale = static_cast<double>(image->width()) / image->picture().width();
    const QPoint at = image->mapTo(Work_area->ScrollBox->viewport(),
                                   QPoint(static_cast<int>(std::lround(centre.x() * scale)),
                                          static_cast<int>(std::lround(centre.y() * scale))));
    const int r = std::max(1, static_cast<int>(std::lround(radius * scale)));
    Work_area->feedbackOverlay()->showBrush(QRect(at.x() - r, at.y() - r, 2 * r, 2 * r));
}

void hideBrush() {
    if (Work_area != nullptr) {
        Work_area->feedbackOverlay()->hideBrush();
    }
}

Qt::KeyboardModifiers pointerModifiers() {
    PictureControl* image = control();
    return image != nullptr ? image->pointerModifiers() : Qt::KeyboardModifiers();
}

double pointerPressure() {
    PictureControl* image = control();
    return image != nullptr ? image->pointerPressure() : 1.0;
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
