#include "workarea/picture_control.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "app/handler_guard.h"
#include "workarea/work_area.h"

PictureControl::PictureControl(TWork_area* owner, QWidget* parent)
    : QWidget(parent), owner_(owner) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void PictureControl::setPicture(QImage picture) {
    picture_ = std::move(picture);
    update();
}

bool PictureControl::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && !hintShown_) {
        event->ignore();
        return true;
    }
    return QWidget::event(event);
}

void PictureControl::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (picture_.isNull() || width() <= 0 || height() <= 0) {
        painter.fillRect(event->rect(), palette().window());
        return;
    }
    // Only the exposed part is scaled, so a large photograph repaints quickly.
    const QRectF target = event->rect();
    const double sx = static_cast<double>(picture_.width()) / width();
    const double sy = static_cast<double>(picture_.height()) / height();
    const QRectF source(target.x() * sx, target.y() * sy, target.width() * sx,
                        target.height() * sy);
    painter.drawImage(target, picture_, source);
}

void PictureControl::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    guarded([&] { owner_->Image1MouseDown(event->button(), event->buttons(), at.x(), at.y()); });
}

// A second press in quick succession is still a press.
void PictureControl::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void PictureControl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    guarded([&] { owner_->Image1MouseMove(event->buttons(), at.x(), at.y()); });
}

void PictureControl::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    // The click of a left press arrives when it is released over the control,
    // before the release itself.
    if (event->button() == Qt::LeftButton && rect().contains(at)) {
        guarded([&] { owner_->Image1Click(); });
    }
    guarded([&] { owner_->Image1MouseUp(event->button(), event->buttons(), at.x(), at.y()); });
}

void PictureControl::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    owner_->PictureMouseEnter();
}

void PictureControl::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    owner_->PictureMouseLeave();
}
