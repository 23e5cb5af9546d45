#include "tools/tool_glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace {

// Four arrows pointing outwards (expand) or inwards (shrink) around a dot.
void drawArrowsFromCentre(QPainter& p, bool outwards) {
    p.drawEllipse(QPointF(12, 10), 1.5, 1.5);
    const QPointF directions[] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
    for (const QPointF& d : directions) {
        const QPointF inner(12 + 3 * d.x(), 10 + 3 * d.y());
        const QPointF outer(12 + 9 * d.x(), 10 + 7.5 * d.y());
        p.drawLine(inner, outer);
        const QPointF tip = outwards ? outer : inner;
        const double back = outwards ? -3 : 3;
        p.drawLine(tip, tip + QPointF(back * d.x(), 0));
        p.drawLine(tip, tip + QPointF(0, back * d.y()));
    }
}

// A spiral of one and a half turns with an arrow head at its outer end.
void drawTwirl(QPainter& p, bool clockwise) {
    QPainterPath spiral;
    const double sign = clockwise ? 1 : -1;
    for (int step = 0; step <= 36; ++step) {
        const double angle = step * 3.14159265358979 / 12;  // 15 degrees a step
        const double radius = 1 + step * 0.22;
        const QPointF point(12 + sign * radius * std::cos(angle), 10 + radius * std::sin(angle));
        if (step == 0) {
            spiral.moveTo(point);
        } else {
            spiral.lineTo(point);
        }
    }
    p.drawPath(spiral);
    const QPointF end = spiral.currentPosition();
    p.drawLine(end, end + QPointF(sign * 3, -2));
    p.drawLine(end, end + QPointF(sign * -1, -3.5));
}

void drawSmudge(QPainter& p) {
    p.setPen(QPen(QColor(90, 90, 160), 3, Qt::SolidLine, Qt::RoundCap));
    QPainterPath stroke;
    stroke.moveTo(4, 15);
    stroke.cubicTo(8, 4, 13, 17, 20, 5);
    p.drawPath(stroke);
    p.setPen(QPen(QColor(20, 20, 60), 1.2));
    p.setBrush(QColor(230, 200, 170));
    p.drawRoundedRect(QRectF(15, 2, 6, 8), 3, 3);  // the finger tip
}

void drawPen(QPainter& p) {
    p.setBrush(QColor(240, 200, 80));
    p.drawPolygon(QPolygonF({{17, 2}, {21, 6}, {9, 17}, {4, 18}, {5, 13}}));
    p.drawLine(QPointF(5, 13), QPointF(9, 17));
}

void drawText(QPainter& p) {
    QFont font;
    font.setPixelSize(16);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRect(0, 0, kToolGlyphWidth, kToolGlyphHeight), Qt::AlignCenter, "A");
}

void drawRecorderGlyph(QPainter& p, ToolGlyph glyph, const QColor& colour) {
    p.setPen(QPen(colour.darker(160), 1.2));
    p.setBrush(colour);
    switch (glyph) {
        case ToolGlyph::StartRecord:
            p.drawEllipse(QPointF(12, 10), 6, 6);
            break;
        case ToolGlyph::StopRecord:
            p.drawRect(QRectF(6.5, 4.5, 11, 11));
            break;
        case ToolGlyph::PlayRecord:
            p.drawPolygon(QPolygonF({{7, 3}, {19, 10}, {7, 17}}));
            break;
        case ToolGlyph::ExportRecord:
            // A frame strip with an arrow leaving it.
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(3.5, 4.5, 10, 11));
            p.drawLine(QPointF(3.5, 8), QPointF(13.5, 8));
            p.drawLine(QPointF(3.5, 12), QPointF(13.5, 12));
            p.setPen(QPen(colour, 2));
            p.drawLine(QPointF(12, 10), QPointF(21, 10));
            p.drawLine(QPointF(21, 10), QPointF(18, 7));
            p.drawLine(QPointF(21, 10), QPointF(18, 13));
            break;
        default:
            break;
    }
}

bool isRecorderGlyph(ToolGlyph glyph) {
    return glyph == ToolGlyph::StartRecord || glyph == ToolGlyph::StopRecord ||
           glyph == ToolGlyph::PlayRecord || glyph == ToolGlyph::ExportRecord;
}

QColor recorderColour(ToolGlyph glyph) {
    switch (glyph) {
        case ToolGlyph::StartRecord:
            return QColor(210, 30, 30);
        case ToolGlyph::PlayRecord:
            return QColor(30, 150, 40);
        default:
            return QColor(40, 60, 150);
    }
}

QPixmap blankGlyph() {
    QPixmap pixmap(kToolGlyphWidth, kToolGlyphHeight);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPixmap toolPixmap(ToolGlyph glyph) {
    QPixmap pixmap = blankGlyph();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 20, 60), 1.4));
    switch (glyph) {
        case ToolGlyph::Expand:
            drawArrowsFromCentre(p, true);
            break;
        case ToolGlyph::Shrink:
            drawArrowsFromCentre(p, false);
            break;
        case ToolGlyph::TwirlClockwise:
            drawTwirl(p, true);
            break;
        case ToolGlyph::TwirlAnticlockwise:
            drawTwirl(p, false);
            break;
        case ToolGlyph::Smudge:
            drawSmudge(p);
            break;
        case ToolGlyph::Beeline:
            p.setPen(QPen(QColor(20, 20, 60), 2));
            p.drawLine(QPointF(4, 17), QPointF(20, 3));
            break;
        case ToolGlyph::Pen:
            drawPen(p);
            break;
        case ToolGlyph::Text:
            drawText(p);
            break;
        default:
            drawRecorderGlyph(p, glyph, recorderColour(glyph));
            break;
    }
    return pixmap;
}

}  // namespace

QIcon toolGlyph(ToolGlyph glyph) {
    QIcon icon(toolPixmap(glyph));
    if (isRecorderGlyph(glyph)) {
        QPixmap disabled = blankGlyph();
        QPainter p(&disabled);
        p.setRenderHint(QPainter::Antialiasing);
        drawRecorderGlyph(p, glyph, QColor(160, 160, 160));
        p.end();
        icon.addPixmap(disabled, QIcon::Disabled);
    }
    return icon;
}
