// The frames of the pencil sketch: the edge image kept when the Sketch page is chosen, and
// the two renderings of it that the page's OK buttons put in place of the picture.
#include "effects/pencil_sketch.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

// Widgets paint double-buffered already, so only the edge image is left to make. The
// picture itself stays as it is.
void TWork_area::picsobel() {
    SketchBitmap = Image1->hasPicture() ? effects::edgeImage(Image1->picture()) : QImage();
}

// Without a kept edge image there is nothing to render; the picture stays.
void TWork_area::twovalue(int threshold) {
    if (SketchBitmap.isNull()) {
        return;
    }
    Image1->setPicture(effects::thresholdSketch(SketchBitmap, threshold));
}

void TWork_area::pencilContrast(int angle) {
    if (SketchBitmap.isNull()) {
        return;
    }
    Image1->setPicture(effects::contrastSketch(SketchBitmap, angle));
}
