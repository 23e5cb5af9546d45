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

void showFaceMarks(FaceMarks marks);
void hideFaceMarks();

// The tool that takes the left button on the picture; nullptr gives it back.
void setPictureTool(PictureTool* tool);
void setPictureHint(const QString& hint);
void setPictureCursor(Qt::CursorShape shape);

// Calls `changed` whenever the picture is replaced (undo, redo, renew, opening, a step).
QMetaObject::Connection whenPictureReplaced(QObject* receiver, std::function<void()> changed);

}  // namespace editing
