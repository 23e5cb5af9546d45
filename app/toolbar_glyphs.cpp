#include "app/toolbar_glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

void drawArrow(QPainter& p, bool pointsLeft) {
    QPainterPath path;
    path.moveTo(pointsLeft ? 18 : 6, 14);
    path.cubicTo(pointsLeft ? 18 : 6, 5, pointsLeft ? 9 : 15, 5, pointsLeft ? 7 : 17, 9);
    p.drawPath(path);
    const int tipX = pointsLeft ? 5 : 19;
    p.drawLine(tipX, 10, tipX + (pointsLeft ? 4 : -4), 11);
    p.drawLine(tipX, 10, tipX + (pointsLeft ? 1 : -1), 6);
}

void drawGlass(QPainter& p, bool plus) {
    p.drawEllipse(4, 3, 11, 11);
    p.drawLine(14, 13, 19, 18);
    p.drawLine(7, 8, 12, 8);
    if (plus) {
        p.drawLine(9, 6, 9, 11);
    }
}

}  // namespace

QIcon toolbarGlyph(ToolbarGlyph glyph) {
    QPixmap pixmap(24, 20);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 20, 60), 1.6));
    switch (glyph) {
        case ToolbarGlyph::Open:
            p.setBrush(QColor(240, 200, 80));
            p.drawPolygon(QPolygon({{3, 6}, {9, 6}, {11, 8}, {20, 8}, {20, 17}, {3, 17}}));
            break;
        case ToolbarGlyph::Save:
            p.setBrush(QColor(80, 110, 200));
            p.drawRect(4, 2, 16, 16);
            p.setBrush(Qt::white);
            p.drawRect(7, 3, 10, 5);
            break;
        case ToolbarGlyph::Undo:
            drawArrow(p, true);
            break;
        case ToolbarGlyph::Redo:
            drawArrow(p, false);
            break;
        case ToolbarGlyph::Renew:
            p.drawArc(5, 3, 14, 14, 60 * 16, 300 * 16);
            p.drawLine(15, 3, 17, 7);
            break;
        case ToolbarGlyph::ZoomOut:
            drawGlass(p, false);
            break;
        case ToolbarGlyph::ZoomIn:
            drawGlass(p, true);
            break;
        case ToolbarGlyph::Select:
            p.setPen(QPen(Qt::black, 1, Qt::DashLine));
            p.drawRect(4, 3, 16, 14);
            break;
        case ToolbarGlyph::Cut:
            p.drawEllipse(5, 12, 5, 5);
            p.drawEllipse(14, 12, 5, 5);
            p.drawLine(9, 12, 16, 2);
            p.drawLine(15, 12, 8, 2);
            break;
        case ToolbarGlyph::Print:
            p.setBrush(Qt::white);
            p.drawRect(7, 2, 10, 6);
            p.setBrush(QColor(160, 160, 160));
            p.drawRect(3, 8, 18, 8);
            break;
        case ToolbarGlyph::Mail:
            p.setBrush(Qt::white);
            p.drawRect(3, 5, 18, 11);
            p.drawLine(3, 5, 12, 11);
            p.drawLine(21, 5, 12, 11);
            break;
        case ToolbarGlyph::Online:
            p.setBrush(QColor(120, 180, 240));
            p.drawEllipse(4, 2, 16, 16);
            p.drawEllipse(9, 2, 6, 16);
            p.drawLine(4, 10, 20, 10);
            break;
    }
    return QIcon(pixmap);
}
