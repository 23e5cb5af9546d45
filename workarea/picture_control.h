// Image1: shows the edited picture stretched to the control's size and hands
// every mouse action to the picture window.
#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>
#include <functional>

class TWork_area;

// A live preview shown over part of the picture without changing it: `region` (picture pixels)
// is painted by `render`, asked for the exposed part in control pixels at the shown zoom.
struct PicturePreview {
    QRect region;
    std::function<QImage(const QRect& shown, double zoomPercent)> render;
};

class PictureControl : public QWidget {
    Q_OBJECT
public:
    PictureControl(TWork_area* owner, QWidget* parent);

    const QImage& picture() const { return picture_; }
    // Replaces the picture in one step and repaints; a preview goes with the picture it was
    // made for, and pictureReplaced() tells whoever showed it.
    void setPicture(QImage picture);
    void setPreview(PicturePreview preview);
    void clearPreview();
    bool hasPreview() const { return static_cast<bool>(preview_.render); }
    // The preview's region in control pixels at the current size.
    QRect shownPreviewRegion() const;
    // Grows the preview's region by `pictureArea` and repaints only that part.
    void extendPreview(const QRect& pictureArea);

    // The keys held at the last mouse event, and the pen's pressure (1 for a mouse).
    Qt::KeyboardModifiers pointerModifiers() const { return modifiers_; }
    double pointerPressure() const { return pressure_; }
    // Gives write access for an effect that changes the picture in place; the
    // caller repaints with update() when done.
    QImage& editablePicture() { return picture_; }
    bool hasPicture() const { return !picture_.isNull(); }
    // Whether the control's hint shows as a tool tip; the hint text is kept while it does not.
    void setHintShown(bool shown) { hintShown_ = shown; }
    bool hintShown() const { return hintShown_; }

signals:
    void pictureReplaced();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void tabletEvent(QTabletEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TWork_area* owner_;
    QImage picture_;
    PicturePreview preview_;
    bool hintShown_ = true;
    Qt::KeyboardModifiers modifiers_;
    double pressure_ = 1;

    void notePointer(QMouseEvent* event);
    QRect shownArea(const QRect& pictureArea) const;
};
