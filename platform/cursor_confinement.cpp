#include "platform/cursor_confinement.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QMouseEvent>
#include <algorithm>

namespace platform {

namespace {

class ConfinementFilter : public QObject {
public:
    QRect rect;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseMove && !rect.isEmpty()) {
            const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
            const QPoint inside = confinedPoint(global);
            if (inside != global) {
                QCursor::setPos(inside);
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

ConfinementFilter* filter() {
    static ConfinementFilter* instance = [] {
        auto* f = new ConfinementFilter;
        if (QCoreApplication::instance() != nullptr) {
            f->setParent(QCoreApplication::instance());
            QCoreApplication::instance()->installEventFilter(f);
        }
        return f;
    }();
    return instance;
}

}  // namespace

void LockCursorToRect(const QRect& screenRect) {
    filter()->rect = screenRect;
    const QPoint now = QCursor::pos();
    const QPoint inside = confinedPoint(now);
    if (inside != now) {
        QCursor::setPos(inside);
    }
}

void UnlockCursor() {
    filter()->rect = QRect();
}

QRect cursorConfinement() {
    return filter()->rect;
}

QPoint confinedPoint(const QPoint& screenPoint) {
    const QRect& r = filter()->rect;
    if (r.isEmpty()) {
        return screenPoint;
    }
    return {std::clamp(screenPoint.x(), r.left(), r.right()),
            std::clamp(screenPoint.y(), r.top(), r.bottom())};
}

}  // namespace platform
