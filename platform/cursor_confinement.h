// Keeps the mouse pointer inside a screen rectangle while a zone is dragged.
// Qt has no pointer confinement of its own, so an application-wide filter puts
// the pointer back inside whenever a move would leave the rectangle.
#pragma once

#include <QRect>

namespace platform {

void LockCursorToRect(const QRect& screenRect);
void UnlockCursor();
// The rectangle in force, or an empty one.
QRect cursorConfinement();
// The point clamped into the rectangle in force (unchanged without confinement).
QPoint confinedPoint(const QPoint& screenPoint);

}  // namespace platform
