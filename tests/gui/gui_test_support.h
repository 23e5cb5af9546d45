// Shared set-up of the GUI tests: the five windows created as start-up creates
// them, once per test program, with the main window shown.
#pragma once

#include <QImage>
#include <QPoint>

class PictureControl;

// Creates the windows on first use and shows the main window (running FormShow).
void ensureWindowsShown();
// Replaces the picture with `picture` and restarts the history, as opening does.
void loadTestPicture(const QImage& picture);
// A picture whose every pixel differs from its neighbours, so moved pixels show.
QImage patternPicture(int width, int height);
// Sends a real press, move or release to Image1 at a control point.
void pressOn(PictureControl* control, Qt::MouseButton button, QPoint at);
void releaseOn(PictureControl* control, Qt::MouseButton button, QPoint at);
void moveOn(PictureControl* control, Qt::MouseButtons buttons, QPoint at);
