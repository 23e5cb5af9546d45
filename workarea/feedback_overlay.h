// The marks of the picture window (selection outline, brush circle, line
// preview), painted by a see-through widget laid over the visible area. The
// marks never touch the picture: removing one repaints the area it covered,
// and the picture shows through again.
#pragma once

#include <QColor>
#include <QLine>
#include <QPoint>
#include <QPointer>
#include <QPolygonF>
#include <QRect>
#include <QRegion>
#include <QTransform>
#include <QWidget>
#include <optional>
#include <vector>

// One pixel of the selection outline.
struct BandPixel {
    QPoint at;
    bool white = false;
};

// Faces outlined on the picture, in picture pixels: each face's lines, the chosen ones drawn
// brighter, and a box being dragged around a face the finder missed.
struct FaceMarks {
    struct Line {
        QPolygonF points;
        bool closed = false;
        bool operator==(const Line&) const = default;
    };
    struct Face {
        std::vector<Line> lines;
        bool chosen = false;
        bool operator==(const Face&) const = default;
    };
    std::vector<Face> faces;
    std::optional<QRectF> box;
    bool operator==(const FaceMarks&) const = default;
};

class FeedbackOverlay : public QWidget {
    Q_OBJECT
public:
    // Covers `viewport` entirely and follows its size.
    explicit FeedbackOverlay(QWidget* viewport);

    // The outline of `outline` (corners ordered) made of `pixels`; replaces the previous one.
    void showBand(const QRect& outline, std::vector<BandPixel> pixels);
    void hideBand();
    // A red circle inside `box`, whose right and bottom edges lie outside it.
    void showBrush(const QRect& box);
    void hideBrush();
    // A black line between the two points.
    void showLine(const QLine& line);
    void hideLine();

    // Face marks over `picture` (the control showing a picture of `pictureSize` pixels); they
    // follow it as it scrolls or zooms.
    void showFaces(QWidget* picture, QSize pictureSize, FaceMarks marks);
    void hideFaces();
    const std::optional<FaceMarks>& faceMarks() const { return faces_; }

    const std::vector<BandPixel>& bandPixels() const { return bandPixels_; }
    std::optional<QRect> brushBox() const { return brush_; }
    std::optional<QLine> line() const { return line_; }

    // Areas repainted when a mark goes: a ring one pixel either side of the
    // outline, the whole circle box, the line's box grown by one pixel.
    static QRegion bandArea(const QRect& outline);
    static QRegion brushArea(const QRect& box);
    static QRegion lineArea(const QLine& line);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void keepOnTop();
    // Where the face marks' picture points are drawn, and the area they cover.
    QTransform faceTransform() const;
    QRegion facesArea() const;
    void paintFaces(QPainter& painter) const;

    std::optional<QRect> bandOutline_;
    std::vector<BandPixel> bandPixels_;
    std::optional<QRect> brush_;
    std::optional<QLine> line_;
    std::optional<FaceMarks> faces_;
    QPointer<QWidget> facePicture_;
    QSize facePictureSize_;
};
