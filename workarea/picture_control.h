// Image1: shows the edited picture stretched to the control's size and hands
// every mouse action to the picture window.
#pragma once

#include <QImage>
#include <QWidget>

class TWork_area;

class PictureControl : public QWidget {
    Q_OBJECT
public:
    PictureControl(TWork_area* owner, QWidget* parent);

    const QImage& picture() const { return picture_; }
    // Replaces the picture in one step and repaints.
    void setPicture(QImage picture);
    // Gives write access for an effect that changes the picture in place; the
    // caller repaints with update() when done.
    QImage& editablePicture() { return picture_; }
    bool hasPicture() const { return !picture_.isNull(); }
    // Whether the control's hint shows as a tool tip; the hint text is kept while it does not.
    void setHintShown(bool shown) { hintShown_ = shown; }
    bool hintShown() const { return hintShown_; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TWork_area* owner_;
    QImage picture_;
    bool hintShown_ = true;
};
