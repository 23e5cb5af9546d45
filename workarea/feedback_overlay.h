// The marks of the picture window (selection outline, brush circle, line
// preview), painted by a see-through widget laid over the visible area. The
// marks never touch the picture: removing one repaints the area it covered,
// and the picture shows through again.
#pragma once

#include <QColor>
#include <QLine>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QWidget>
#include <optional>
#include <vector>

// One pixel of the selection outline.
struct BandPixel {
    QPoint at;
    bool white = false;
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

    std::optional<QRect> bandOutline_;
    std::vector<BandPixel> bandPixels_;
    std::optional<QRect> brush_;
    std::optional<QLine> line_;
};
