// What a palette page beyond the distortions needs of the rest of the program, in a few named
// calls: the picture, a preview over it, marks on it, the left button on it and the history
// step. Pages call these, not the other windows' widgets.
#pragma once

#include <QImage>
#include <QMetaObject>
#include <functional>

#include "workarea/feedback_overlay.h"
#include "workarea/picture_control.h"

class PictureTool;

namespace warp {
class WarpSession;
}

namespace editing {

// The picture being edited; null before there is one.
const QImage& currentPicture();
// The view's zoom in percent.
double zoomPercent();

// A preview over the picture, dropped by dropPreview() and by any change of the picture.
void showPreview(PicturePreview preview);
void dropPreview();

// Replaces the picture by a finished change and stores it as one history step (with its
// frame file while recording).
void commitStep(QImage picture);
bool isRecording();

// Changes the picture in place (the change is told which picture) and stores the result as
// one history step, as the disc tools do.
void commitInPlace(const std::function<void(QImage& picture)>& change);

// The program's one warp session, following the current picture (see warp/warp_session.h):
// the Face page's changes and the Warp page's strokes go into its one field.
warp::WarpSession& warpSession();
// After a commit of the session's: the current picture is the one it produced.
void warpSessionProduced();

// Grows the preview's region and repaints only that part of it.
void extendPreview(const QRect& pictureArea);

// The red circle of a brush of `radius` around a picture point; hidden again by hideBrush().
void showBrush(QPointF centre, double radius);
void hideBrush();
// The keys held at the last mouse event over the picture, and a pen's pressure there.
Qt::KeyboardModifiers pointerModifiers();
double pointerPressure();

void showFaceMarks(FaceMarks marks);
void hideFaceMarks();

// The tool that takes the left button on the picture; nullptr gives it back.
void setPictureTool(PictureTool* tool);
void setPictureHint(const QString& hint);
void setPictureCursor(Qt::CursorShape shape);

// Calls `changed` whenever the picture is replaced (undo, redo, renew, opening, a step).
QMetaObject::Connection whenPictureReplaced(QObject* receiver, std::function<void()> changed);

}  // namespace editing
