#include "tools/track_bar.h"

TrackBar::TrackBar(int minimum, int maximum, int position, QWidget* parent)
    : QSlider(Qt::Horizontal, parent) {
    setRange(minimum, maximum);
    setValue(position);
    setTickPosition(QSlider::TicksBelow);
    setTickInterval(1);
    setPageStep(2);
}

void TrackBar::setMaxKeepingOrder(int maximum) {
    if (maximum < minimum()) {
        return;
    }
    // QSlider clamps the value itself and emits valueChanged when it moves.
    setMaximum(maximum);
}

void TrackBar::setMinKeepingOrder(int minimum) {
    if (minimum > maximum()) {
        return;
    }
    setMinimum(minimum);
}
