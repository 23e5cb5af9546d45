#include "workarea/sign_cursors.h"

#include <QPixmap>

const QCursor& penCursor() {
    // The pencil's tip is the hot spot.
    static const QCursor cursor(QPixmap(":/cursors/pen.png"), 1, 30);
    return cursor;
}
