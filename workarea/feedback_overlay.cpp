#include "workarea/feedback_overlay.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

FeedbackOverlay::FeedbackOverlay(QWidget* viewport) : QWidget(viewport) {
    // The picture control below keeps the mouse, its cursor and its tooltip.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(viewport->rect());
    viewport->installEventFilter(this);
    show();
    raise();
}

bool FeedbackOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget()) {
        if (event->type() == QEvent::Resize) {
            setGeometry(parentWidget()->rect());
        } else if (event->type() == QEvent::ChildAdded) {
            // A picture control put into the viewport later must stay below the marks.
            raise();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FeedbackOverlay::keepOnTop() {
    if (geometry() != parentWidget()->rect()) {
        setGeometry(parentWidget()->rect());
    }
    raise();
}

QRegion FeedbackOverlay::bandArea(const QRect& outline) {
    const QRect outer = outline.adjusted(-1, -1, 1, 1);
    const QRect inner = outline.adjusted(1, 1, -1, -1);
    return inner.isValid() ? QRegion(outer).subtracted(inner) : QRegion(outer);
}

QRegion FeedbackOverlay::brushArea(const QRect& box) {
    return QRegion(box);
}

QRegion FeedbackOverlay::lineArea(const QLine& line) {
    const QRect box = QRect(line.p1(), line.p2()).normalized();
    return QRegion(box.adjusted(-1, -1, 1, 1));
}

void FeedbackOverlay::showBand(const QRect& outline, std::vector<BandPixel> pixels) {
    // An outline without pixels (all corners zero) costs no repaint at every tick.
    if (pixels.empty() && bandPixels_.empty()) {
        bandOutline_ = outline;
        return;
    }
    QRegion dirty = bandArea(outline);
    if (bandOutline_) {
        dirty += bandArea(*bandOutline_);
    }
    bandOutline_ = outline;
    bandPixels_ = std::move(pixels);
    keepOnTop();
    update(dirty);
}

void FeedbackOverlay::hideBand() {
    if (!bandOutline_) {
        return;
    }
    const QRegion dirty = bandArea(*bandOutline_);
    bandOutline_.reset();
    bandPixels_.clear();
    update(dirty);
}

void FeedbackOverlay::showBrush(const QRect& box) {
    QRegion dirty = brushArea(box);
    if (brush_) {
        dirty += brushArea(*brush_);
    }
    brush_ = box;
    keepOnTop();
    update(dirty);
}

void FeedbackOverlay::hideBrush() {
    if (!brush_) {
        return;
    }
    const QRegion dirty = brushArea(*brush_);
    brush_.reset();
    update(dirty);
}

void FeedbackOverlay::showLine(const QLine& line) {
    QRegion dirty = lineArea(line);
    if (line_) {
        dirty += lineArea(*line_);
    }
    line_ = line;
    keepOnTop();
    update(dirty);
}

void FeedbackOverlay::hideLine() {
    if (!line_) {
        return;
    }
    const QRegion dirty = lineArea(*line_);
    line_.reset();
    update(dirty);
}

void FeedbackOverlay::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QRect exposed = event->rect();
    for (const BandPixel& pixel : bandPixels_) {
        if (exposed.contains(pixel.at)) {
            painter.fillRect(QRect(pixel.at, QSize(1, 1)), pixel.white ? Qt::white : Qt::black);
        }
    }
    if (line_) {
        painter.setPen(QPen(Qt::black, 0));
        painter.drawLine(*line_);
    }
    if (brush_ && brush_->width() > 1 && brush_->height() > 1) {
        // A cosmetic pen outlines the rectangle's far edges one pixel further out,
        // so the ellipse is given a box one pixel smaller to stay inside `brush_`.
        painter.setPen(QPen(Qt::red, 0));
        painter.setBrush(Qt::NoBrush);
        painter.setClipRect(*brush_);
        painter.drawEllipse(brush_->adjusted(0, 0, -1, -1));
    }
}
