// On-screen feedback of the picture window: the marching outline of a zone
// selection, the red circle showing a distortion's reach and the preview of a
// straight line. Positions are window-client points (the viewport's own).
#include <QScrollArea>
#include <algorithm>

#include "platform/line_walk.h"
#include "workarea/feedback_overlay.h"
#include "workarea/work_area.h"

namespace {

// Left <= right and top <= bottom, both corners inside the rectangle.
QRect OrderRect(const IntQuad& corners) {
    return QRect(QPoint(std::min(corners.a, corners.c), std::min(corners.b, corners.d)),
                 QPoint(std::max(corners.a, corners.c), std::max(corners.b, corners.d)));
}

}  // namespace

FeedbackOverlay* TWork_area::feedbackOverlay() {
    if (Overlay == nullptr) {
        Overlay = new FeedbackOverlay(ScrollBox->viewport());
    }
    return Overlay;
}

void TWork_area::Timer2Timer() {
    AntsPhase = static_cast<uint8_t>(AntsPhase >> 2);
    if (AntsPhase == 0) {
        AntsPhase = 128;
    }
    DrawTheRect1();
}

void TWork_area::AntsPixelProc(int X, int Y, std::vector<BandPixel>& canvas) {
    AntsMask = static_cast<uint8_t>(AntsMask << 1);
    if (AntsMask == 0) {
        AntsMask = 1;
    }
    // Five black pixels, then three white ones.
    canvas.push_back({QPoint(X, Y), AntsMask >= 32});
}

void TWork_area::DrawTheRect1() {
    AntsMask = AntsPhase;
    const auto [x1, y1, x2, y2] = BandRect;
    std::vector<BandPixel> pixels;
    const auto visit = [&](int x, int y) { AntsPixelProc(x, y, pixels); };
    // The mask runs on from edge to edge, so the pattern turns the corners.
    platform::LineDDA(x1, y1, x2, y1, visit);
    platform::LineDDA(x2, y1, x2, y2, visit);
    platform::LineDDA(x2, y2, x1, y2, visit);
    platform::LineDDA(x1, y2, x1, y1, visit);
    feedbackOverlay()->showBand(OrderRect(BandRect), std::move(pixels));
}

void TWork_area::RemoveTheRect1() {
    feedbackOverlay()->hideBand();
}

void TWork_area::RemoveTheRect2() {
    RemoveTheRect1();
    BandRect = {};
}

void TWork_area::DrawTheBrush() {
    // The box's right and bottom edges lie outside it, so a radius r gives 2r pixels across.
    const auto [left, top, right, bottom] = BrushBox;
    feedbackOverlay()->showBrush(QRect(left, top, right - left, bottom - top));
}

void TWork_area::RemoveTheBrush() {
    feedbackOverlay()->hideBrush();
}

void TWork_area::DrawTheLine() {
    const auto [x1, y1, x2, y2] = PreviewLine;
    feedbackOverlay()->showLine(QLine(x1, y1, x2, y2));
}

void TWork_area::RemoveTheLine() {
    feedbackOverlay()->hideLine();
}
