// The custom "PEN" cursor of the pen sign, loaded from the program's resources.
#pragma once

#include <QCursor>

const QCursor& penCursor();
