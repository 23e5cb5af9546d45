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
    // The face marks move with the picture under them.
    if (faces_ && watched == facePicture_ &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        update();
    }
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

void FeedbackOverlay::showFaces(QWidget* picture, QSize pictureSize, FaceMarks marks) {
    QRegion dirty = facesArea();
    if (facePicture_ != picture) {
        if (facePicture_) {
            facePicture_->removeEventFilter(this);
        }
        facePicture_ = picture;
        picture->installEventFilter(this);
    }
    facePictureSize_ = pictureSize;
    faces_ = std::move(marks);
    dirty += facesArea();
    keepOnTop();
    update(dirty);
}

void FeedbackOverlay::hideFaces() {
    if (!faces_) {
        return;
    }
    const QRegion dirty = facesArea();
    faces_.reset();
    update(dirty);
}

QTransform FeedbackOverlay::faceTransform() const {
    if (!facePicture_ || facePictureSize_.isEmpty()) {
        return {};
    }
    const QPoint origin = facePicture_->mapTo(parentWidget(), QPoint(0, 0));
    // Picture pixel centres land on the centres of the control's pixels that show them.
    const double sx = static_cast<double>(facePicture_->width()) / facePictureSize_.width();
    const double sy = static_cast<double>(facePicture_->height()) / facePictureSize_.height();
    return QTransform(sx, 0, 0, sy, origin.x() + sx / 2, origin.y() + sy / 2);
}

QRegion FeedbackOverlay::facesArea() const {
    if (!faces_ || !facePicture_) {
        return {};
    }
    const QTransform transform = faceTransform();
    QRegion area;
    for (const FaceMarks::Face& face : faces_->faces) {
        for (const FaceMarks::Line& line : face.lines) {
            area +=
                transform.map(line.points).boundingRect().toAlignedRect().adjusted(-2, -2, 2, 2);
        }
    }
    if (faces_->box) {
        area += transform.mapRect(*faces_->box).toAlignedRect().adjusted(-2, -2, 2, 2);
    }
    return area;
}

void FeedbackOverlay::paintFaces(QPainter& painter) const {
    if (!faces_ || !facePicture_) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    const QTransform transform = faceTransform();
    for (const FaceMarks::Face& face : faces_->faces) {
        const bool chosen = face.chosen;
        // A dark line under a light one shows on bright and dark skin alike.
        for (const auto& [colour, width] :
             {std::pair{QColor(0, 0, 0, 140), chosen ? 3.0 : 2.0},
              std::pair{chosen ? QColor(0, 255, 255) : QColor(255, 255, 255, 170),
                        chosen ? 1.5 : 1.0}}) {
            painter.setPen(QPen(colour, width));
            for (const FaceMarks::Line& line : face.lines) {
                const QPolygonF shown = transform.map(line.points);
                if (line.closed) {
                    painter.drawPolygon(shown);
                } else {
                    painter.drawPolyline(shown);
                }
            }
        }
    }
    if (faces_->box) {
        painter.setPen(QPen(Qt::cyan, 1, Qt::DashLine));
        painter.drawRect(transform.mapRect(*faces_->box));
    }
    painter.restore();
}

void FeedbackOverlay::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    paintFaces(painter);
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
