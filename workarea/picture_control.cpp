#include "workarea/picture_control.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointingDevice>
#include <QTabletEvent>
#include <algorithm>

#include "app/handler_guard.h"
#include "workarea/work_area.h"

PictureControl::PictureControl(TWork_area* owner, QWidget* parent)
    : QWidget(parent), owner_(owner) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void PictureControl::setPicture(QImage picture) {
    picture_ = std::move(picture);
    preview_ = {};
    update();
    emit pictureReplaced();
}

void PictureControl::setPreview(PicturePreview preview) {
    const QRect before = shownPreviewRegion();
    preview_ = std::move(preview);
    update(QRegion(before) + shownPreviewRegion());
}

void PictureControl::clearPreview() {
    if (hasPreview()) {
        const QRect before = shownPreviewRegion();
        preview_ = {};
        update(before);
    }
}

QRect PictureControl::shownArea(const QRect& pictureArea) const {
    if (picture_.isNull() || pictureArea.isEmpty()) {
        return {};
    }
    const double sx = static_cast<double>(width()) / picture_.width();
    const double sy = static_cast<double>(height()) / picture_.height();
    const QRectF r = pictureArea;
    return QRectF(r.x() * sx, r.y() * sy, r.width() * sx, r.height() * sy)
        .toAlignedRect()
        .intersected(rect());
}

QRect PictureControl::shownPreviewRegion() const {
    return hasPreview() ? shownArea(preview_.region) : QRect();
}

void PictureControl::extendPreview(const QRect& pictureArea) {
    if (!hasPreview()) {
        return;
    }
    preview_.region = preview_.region.united(pictureArea);
    update(shownArea(pictureArea));
}

// A pen's events arrive first as tablet events; left to the widget, they come again as mouse
// events, which the handlers take, so only the pressure is kept here.
void PictureControl::tabletEvent(QTabletEvent* event) {
    pressure_ = std::clamp(event->pressure(), 0.05, 1.0);
    modifiers_ = event->modifiers();
    event->ignore();
}

void PictureControl::notePointer(QMouseEvent* event) {
    modifiers_ = event->modifiers();
    if (event->pointingDevice() == nullptr ||
        event->pointingDevice()->type() != QInputDevice::DeviceType::Stylus) {
        pressure_ = 1;
    }
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
    // The preview over what it changes, rendered for the exposed part only: scrolling and
    // zooming need nothing more than the repaint they cause.
    const QRect shown = shownPreviewRegion().intersected(event->rect());
    if (!shown.isEmpty()) {
        const QImage part = preview_.render(shown, 100.0 * width() / picture_.width());
        if (!part.isNull()) {
            painter.drawImage(shown.topLeft(), part);
        }
    }
}

void PictureControl::mousePressEvent(QMouseEvent* event) {
    notePointer(event);
    const QPoint at = event->position().toPoint();
    guarded([&] { owner_->Image1MouseDown(event->button(), event->buttons(), at.x(), at.y()); });
}

// A second press in quick succession is still a press.
void PictureControl::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void PictureControl::mouseMoveEvent(QMouseEvent* event) {
    notePointer(event);
    const QPoint at = event->position().toPoint();
    guarded([&] { owner_->Image1MouseMove(event->buttons(), at.x(), at.y()); });
}

void PictureControl::mouseReleaseEvent(QMouseEvent* event) {
    notePointer(event);
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
