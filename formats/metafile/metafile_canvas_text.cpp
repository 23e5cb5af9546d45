#include "formats/metafile/metafile_canvas.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <algorithm>
#include <cmath>
#include <string>

#include "formats/format_error.h"
#include "formats/metafile/metafile_geometry.h"

namespace formats::metafile {

void MetafileCanvas::text(QPointF reference, const QString& text,
                          const std::vector<double>& advances, uint32_t options,
                          const std::optional<QRectF>& rect) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        throw WholeFileError(std::string("Cannot load image. The text in this ") + formatName_ +
                             " file can only be drawn while the program runs.");
    }
    const QTransform transform = logicalToPicture();
    if (rect && (options & kTextOpaque) != 0) {
        fillRect(*rect, QColor(state_.backgroundColour));
    }
    if (text.isEmpty()) {
        return;
    }
    const bool updatePosition = (state_.textAlign & kAlignUpdateCp) != 0;
    const QPointF origin = transform.map(updatePosition ? state_.position : reference);
    const double xScale = axisScale(transform, QPointF(1, 0));
    const double yScale = axisScale(transform, QPointF(0, 1));
    if (!(std::abs(origin.x()) < 1e7 && std::abs(origin.y()) < 1e7)) {
        return;
    }

    const FontSpec& wanted = state_.font;
    // Glyphs larger than this are no text a picture can show, and cost the font engine dearly.
    const double largest = std::min(4000.0, 2.0 * std::max(picture_.width(), picture_.height()));
    double pixels = wanted.height == 0 ? 12.0 : std::abs(wanted.height) * yScale;
    pixels = std::clamp(pixels, 1.0, largest);
    QFont font(wanted.face.isEmpty() ? QStringLiteral("Sans Serif") : wanted.face);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
    if (wanted.height > 0) {
        // A positive height is the whole cell, ascent and descent together.
        const double cell = QFontMetricsF(font).height();
        if (cell > 0) {
            font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels * pixels / cell))));
        }
    }
    font.setWeight(
        static_cast<QFont::Weight>(std::clamp(wanted.weight == 0 ? 400 : wanted.weight, 1, 1000)));
    font.setItalic(wanted.italic);
    font.setUnderline(wanted.underline);
    font.setStrikeOut(wanted.strikeOut);
    const QFontMetricsF metrics(font);

    double width = 0;
    std::vector<double> offsets;
    if (!advances.empty()) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            offsets.push_back(width);
            width +=
                (static_cast<size_t>(i) < advances.size() ? advances[static_cast<size_t>(i)] : 0) *
                xScale;
        }
    } else {
        width = metrics.horizontalAdvance(text);
    }
    double dx = 0;
    if ((state_.textAlign & kAlignCenter) == kAlignCenter) {
        dx = -width / 2;
    } else if ((state_.textAlign & kAlignRight) != 0) {
        dx = -width;
    }
    double dy = metrics.ascent();
    if ((state_.textAlign & kAlignBaseline) == kAlignBaseline) {
        dy = 0;
    } else if ((state_.textAlign & kAlignBottom) != 0) {
        dy = -metrics.descent();
    }

    prepare();
    painter_.resetTransform();
    if (rect && (options & kTextClipped) != 0) {
        painter_.setClipRegion(pictureRegionOf(transform, *rect), Qt::IntersectClip);
    }
    painter_.translate(origin);
    painter_.rotate(-wanted.escapement / 10.0);
    if (state_.opaqueBackground) {
        painter_.fillRect(QRectF(dx, dy - metrics.ascent(), width, metrics.height()),
                          QColor(state_.backgroundColour));
    }
    painter_.setFont(font);
    painter_.setPen(QColor(state_.textColour));
    if (offsets.empty()) {
        painter_.drawText(QPointF(dx, dy), text);
    } else {
        for (qsizetype i = 0; i < text.size(); ++i) {
            painter_.drawText(QPointF(dx + offsets[static_cast<size_t>(i)], dy), QString(text[i]));
        }
    }
    if (updatePosition) {
        const QPointF end = painter_.transform().map(QPointF(dx + width, 0));
        state_.position = transform.inverted().map(end);
    }
}

}  // namespace formats::metafile
