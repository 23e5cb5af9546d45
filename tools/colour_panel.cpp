#include "tools/colour_panel.h"

#include <QMouseEvent>
#include <QPalette>

ColourPanel::ColourPanel(const QColor& colour, QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setAutoFillBackground(true);
    setColour(colour);
}

QColor ColourPanel::colour() const {
    return palette().color(QPalette::Window);
}

void ColourPanel::setColour(const QColor& colour) {
    QPalette filled = palette();
    filled.setColor(QPalette::Window, colour);
    setPalette(filled);
}

void ColourPanel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QFrame::mousePressEvent(event);
}

// A click is a left press and release both on the panel, as with a button.
void ColourPanel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        pressed_ && event->button() == Qt::LeftButton && rect().contains(event->pos());
    pressed_ = false;
    QFrame::mouseReleaseEvent(event);
    if (click) {
        emit clicked();
    }
}
