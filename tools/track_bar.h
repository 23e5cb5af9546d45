// TrackBar: a horizontal slider with a tick for every value whose range
// changes keep their order. A new maximum below the minimum, or a new minimum
// above the maximum, is ignored rather than dragging the other end along as
// QSlider would; the position is then clamped into the range, and a changed
// position emits valueChanged like any other move.
#pragma once

#include <QSlider>

class TrackBar : public QSlider {
    Q_OBJECT
public:
    TrackBar(int minimum, int maximum, int position, QWidget* parent = nullptr);

    // Sets the maximum unless it lies below the current minimum.
    void setMaxKeepingOrder(int maximum);
    // Sets the minimum unless it lies above the current maximum.
    void setMinKeepingOrder(int minimum);
    // Moves to `position`, clamped into the range.
    void setPosition(int position) { setValue(position); }
};
