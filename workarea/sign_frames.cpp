// The line and pen signs: a straight line previewed while it is dragged and drawn at the
// release, and a free-hand stroke drawn segment by segment while the button is held. Each
// finished sign is one history step.
#include <cmath>

#include "app/main_window.h"
#include "formats/colour_value.h"
#include "tools/tool_palette.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

uint32_t colourValue(const QColor& colour) {
    return colour::make(colour.red(), colour.green(), colour.blue());
}

}  // namespace

effects::SignPen TWork_area::currentSignPen() const {
    const QColor colour = Tools != nullptr ? Tools->signColour() : QColor(Qt::red);
    return {colourValue(colour), PenWidth};
}

void TWork_area::showPictureChange(const QRect& pictureArea) {
    if (pictureArea.isEmpty()) {
        return;
    }
    // The control shows the picture stretched by the zoom; a pixel more on every side
    // covers the rounding of the stretch.
    const double scale = ZoomPercent / 100.0;
    const int left = static_cast<int>(std::floor(pictureArea.left() * scale));
    const int top = static_cast<int>(std::floor(pictureArea.top() * scale));
    const int right = static_cast<int>(std::ceil((pictureArea.right() + 1) * scale));
    const int bottom = static_cast<int>(std::ceil((pictureArea.bottom() + 1) * scale));
    Image1->update(QRect(QPoint(left, top), QPoint(right, bottom)).adjusted(-1, -1, 1, 1));
}

void TWork_area::signPress(int X, int Y) {
    const QPoint w = clientPoint(X, Y);
    const IntPoint at{screenToPicture(X), screenToPicture(Y)};
    switch (SignTool) {
        case kLineTool:
            LineStart = at;
            RemoveTheLine();
            PreviewLine = {w.x(), w.y(), w.x(), w.y()};
            LineAnchor = {w.x(), w.y()};
            signDrag_ = kLineTool;
            break;
        case kPenTool:
            picturePen_ = currentSignPen();
            penPosition_ = at;
            penDash_ = {};
            strokeDrew_ = false;
            signDrag_ = kPenTool;
            break;
        case kTextTool:
            showTextBox(w);
            break;
        default:
            break;
    }
}

void TWork_area::signMove(int X, int Y) {
    switch (signDrag_ == SignTool ? signDrag_ : 0) {
        case kLineTool: {
            RemoveTheLine();
            const QPoint w = clientPoint(X, Y);
            // The preview's extents stay even, so its middle falls on a whole pixel.
            const int x2 = (w.x() - LineAnchor.x) % 2 != 0 ? w.x() + 1 : w.x();
            const int y2 = (w.y() - LineAnchor.y) % 2 != 0 ? w.y() + 1 : w.y();
            PreviewLine = {LineAnchor.x, LineAnchor.y, x2, y2};
            DrawTheLine();
            break;
        }
        case kPenTool: {
            if (!Image1->hasPicture()) {
                break;
            }
            refreshZoomPercent();
            const IntPoint to{screenToPicture(X), screenToPicture(Y)};
            const QRect changed = effects::drawSignSegment(Image1->editablePicture(),
                                                           {penPosition_.x, penPosition_.y},
                                                           {to.x, to.y}, picturePen_, penDash_);
            penPosition_ = to;
            strokeDrew_ = strokeDrew_ || !changed.isEmpty();
            showPictureChange(changed);
            break;
        }
        default:
            break;
    }
}

void TWork_area::signRelease(int X, int Y) {
    const int drag = signDrag_;
    signDrag_ = 0;
    if (drag != SignTool) {
        return;
    }
    switch (drag) {
        case kLineTool: {
            RemoveTheLine();
            if (!Image1->hasPicture()) {
                break;
            }
            refreshZoomPercent();
            const QRect changed =
                effects::drawSignLine(Image1->editablePicture(), {LineStart.x, LineStart.y},
                                      {screenToPicture(X), screenToPicture(Y)}, currentSignPen());
            showPictureChange(changed);
            Form1->backup();
            break;
        }
        case kPenTool:
            Form1->backup();
            break;
        default:
            break;
    }
}

void TWork_area::endSignDrag() {
    const int drag = signDrag_;
    signDrag_ = 0;
    if (drag == kLineTool) {
        RemoveTheLine();
    } else if (drag == kPenTool && strokeDrew_) {
        Form1->backup();
    }
}
