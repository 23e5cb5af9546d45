// A tool of a palette page that takes the left button on the picture for itself (choosing a
// face, dragging a box). Points are picture pixels, with fractions at zooms above 100 %.
#pragma once

#include <QPointF>

class PictureTool {
public:
    virtual ~PictureTool() = default;
    virtual void picturePress(QPointF at) = 0;
    virtual void pictureDrag(QPointF at) = 0;
    virtual void pictureRelease(QPointF at) = 0;
    // The pointer over the picture with no button down (a brush outline follows it).
    virtual void pictureHover(QPointF /*at*/) {}
};
