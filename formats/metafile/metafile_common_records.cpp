#include "formats/metafile/metafile_common_records.h"

namespace formats::metafile {

QPointF Arguments::point() {
    const auto [x, y] = values<2>();
    return QPointF(x, y);
}

QRectF Arguments::rect() {
    const auto [left, top, right, bottom] = values<4>();
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

void playCommonRecord(CommonRecord record, Arguments& in, MetafileCanvas& canvas) {
    DeviceState& state = canvas.state();
    switch (record) {
        case CommonRecord::SaveState:
            canvas.saveState();
            break;
        case CommonRecord::RestoreState:
            canvas.restoreState(in.integer());
            break;
        case CommonRecord::MapMode:
            canvas.setMapMode(in.integer());
            break;
        case CommonRecord::BackgroundMode:
            canvas.setBackgroundMode(in.flags());
            break;
        case CommonRecord::PolyFillMode:
            canvas.setPolyFillMode(in.flags());
            break;
        case CommonRecord::Mix:
            canvas.setMix(in.integer());
            break;
        case CommonRecord::TextAlign:
            state.textAlign = in.flags();
            break;
        case CommonRecord::BackgroundColour:
            state.backgroundColour = colourRef(in.data());
            break;
        case CommonRecord::TextColour:
            state.textColour = colourRef(in.data());
            break;
        case CommonRecord::WindowOrg:
            canvas.setWindowOrg(in.point());
            break;
        case CommonRecord::WindowExt:
            canvas.setWindowExt(in.point());
            break;
        case CommonRecord::ViewportOrg:
            canvas.setViewportOrg(in.point());
            break;
        case CommonRecord::ViewportExt:
            canvas.setViewportExt(in.point());
            break;
        case CommonRecord::ScaleWindowExt: {
            const auto [xNumerator, xDenominator, yNumerator, yDenominator] = in.values<4>();
            canvas.scaleWindowExt(xNumerator, xDenominator, yNumerator, yDenominator);
            break;
        }
        case CommonRecord::ScaleViewportExt: {
            const auto [xNumerator, xDenominator, yNumerator, yDenominator] = in.values<4>();
            canvas.scaleViewportExt(xNumerator, xDenominator, yNumerator, yDenominator);
            break;
        }
        case CommonRecord::IntersectClip:
            canvas.intersectClip(in.rect());
            break;
        case CommonRecord::ExcludeClip:
            canvas.excludeClip(in.rect());
            break;
        case CommonRecord::OffsetClip:
            canvas.offsetClip(in.point());
            break;
        case CommonRecord::MoveTo:
            canvas.moveTo(in.point());
            break;
        case CommonRecord::LineTo:
            canvas.lineTo(in.point());
            break;
        case CommonRecord::Rectangle:
            canvas.rectangle(in.rect());
            break;
        case CommonRecord::Ellipse:
            canvas.ellipse(in.rect());
            break;
        case CommonRecord::RoundRectangle: {
            const auto [left, top, right, bottom, width, height] = in.values<6>();
            canvas.roundRectangle(QRectF(QPointF(left, top), QPointF(right, bottom)),
                                  QSizeF(width, height));
            break;
        }
        case CommonRecord::Arc:
        case CommonRecord::Chord:
        case CommonRecord::Pie: {
            const auto v = in.values<8>();
            canvas.arc(QRectF(QPointF(v[0], v[1]), QPointF(v[2], v[3])), QPointF(v[4], v[5]),
                       QPointF(v[6], v[7]),
                       record == CommonRecord::Arc     ? ArcKind::Arc
                       : record == CommonRecord::Chord ? ArcKind::Chord
                                                       : ArcKind::Pie);
            break;
        }
        case CommonRecord::SetPixel: {
            // The colour is the last argument, stored first in WMF.
            QRgb colour = 0;
            if (!in.enhanced()) {
                colour = colourRef(in.data());
            }
            const QPointF at = in.point();
            if (in.enhanced()) {
                colour = colourRef(in.data());
            }
            canvas.setPixel(at, colour);
            break;
        }
    }
}

}  // namespace formats::metafile
