// The drawing surface both record players draw on: the device state with its mapping from
// logical units to the picture, the object table, saved states and clipping, and the QPainter
// calls that do the drawing. Its parts are defined in metafile_canvas*.cpp by topic.
#pragma once

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRegion>
#include <QString>
#include <QTransform>
#include <optional>
#include <vector>

#include "formats/metafile/metafile_device_state.h"
#include "formats/metafile/metafile_dib.h"
#include "formats/metafile/metafile_objects.h"

namespace formats::metafile {

// The picture pixels a rectangle covers under a mapping, with coordinates kept in int range.
QRegion pictureRegionOf(const QTransform& transform, const QRectF& rect);
// The same for the rectangles of a region; more rectangles than any real region holds are
// refused with a FormatError naming `formatName`.
QRegion pictureRegionOf(const QTransform& transform, const std::vector<QRectF>& rects,
                        const char* formatName);

class MetafileCanvas {
public:
    // `deviceToPicture` takes device units (the pixels of the device the metafile was made for)
    // to picture pixels; `devicePixelsPerMm` gives the fixed map modes their scale.
    MetafileCanvas(QImage& picture, const char* formatName, QTransform deviceToPicture,
                   QPointF devicePixelsPerMm);
    ~MetafileCanvas();
    MetafileCanvas(const MetafileCanvas&) = delete;
    MetafileCanvas& operator=(const MetafileCanvas&) = delete;

    DeviceState& state() { return state_; }
    const char* formatName() const { return formatName_; }

    // Mapping.
    void setMapMode(int mode);
    void setWindowOrg(QPointF origin) { state_.windowOrg = origin; }
    void setWindowExt(QPointF extent);
    void setViewportOrg(QPointF origin) { state_.viewportOrg = origin; }
    void setViewportExt(QPointF extent);
    // Extent times numerator over denominator on each axis; a zero denominator changes nothing.
    void scaleWindowExt(double xNumerator, double xDenominator, double yNumerator,
                        double yDenominator);
    void scaleViewportExt(double xNumerator, double xDenominator, double yNumerator,
                          double yDenominator);
    QTransform logicalToPicture() const;

    // Mode 2 is opaque background and winding fill; anything else transparent and alternate.
    void setBackgroundMode(uint32_t mode) { state_.opaqueBackground = mode == 2; }
    void setPolyFillMode(uint32_t mode) { state_.winding = mode == 2; }
    // Mix modes outside 1..16 are refused, as on a device.
    void setMix(int mix);

    // Object table: `table` slots, indices checked on every use.
    void resizeObjectTable(qint64 count);
    qint64 objectTableSize() const { return objects_.size(); }
    // Puts the object into the lowest free slot (WMF), growing the table when it is full.
    void addObject(GdiObject object);
    void setObject(qint64 index, GdiObject object);  // EMF names the slot
    void selectObject(qint64 index);
    void deleteObject(qint64 index);
    void select(const GdiObject& object);
    const std::optional<GdiObject>& object(qint64 index) const { return objects_.at(index); }

    void saveState();
    void restoreState(qint64 which);  // negative: that many back; positive: that saved state

    // Clipping, rectangles in logical units.
    void intersectClip(const QRectF& rect);
    void excludeClip(const QRectF& rect);
    void setClip(std::optional<QRegion> pictureRegion) { state_.clip = std::move(pictureRegion); }
    // Modes 1 and, 2 or, 3 xor, 4 difference, anything else copy.
    void combineClip(const QRegion& pictureRegion, int mode);
    void offsetClip(QPointF logicalOffset);

    // Drawing in logical units with the selected pen and brush.
    void moveTo(QPointF point) { state_.position = point; }
    void lineTo(QPointF point);
    void polyline(const QPolygonF& points);
    void polylineTo(const QPolygonF& points);
    void polygons(const std::vector<QPolygonF>& polygons);
    void bezier(const QPolygonF& points, bool fromPosition);
    void rectangle(const QRectF& rect);
    void roundRectangle(const QRectF& rect, QSizeF corner);
    void ellipse(const QRectF& rect);
    void arc(const QRectF& rect, QPointF start, QPointF end, ArcKind kind);
    void fillRect(const QRectF& rect, const QBrush& brush);
    // The raster operation of the current brush (the pattern) and the picture over a rectangle.
    void patternFill(const QRectF& rect, uint32_t rasterOp);
    void setPixel(QPointF point, QRgb colour);
    void path(const QPainterPath& path, bool fill, bool stroke);
    // Source rectangle in bitmap pixels measured from the top.
    void image(const QRectF& target, const QImage& image, const QRectF& source, uint32_t rasterOp);
    // The same for a decoded bitmap; with `sourceFromBottom` the source rectangle counts rows
    // from the bottom of a bottom-up bitmap, as the DIB-to-device records do.
    void dib(const QRectF& target, const Dib& dib, QRectF source, bool sourceFromBottom,
             uint32_t rasterOp);
    // Regions in picture pixels: filled with a brush, inverted, or framed by a brush with
    // strokes of `thickness` logical units.
    void fillRegion(const QRegion& region, const BrushSpec& brush);
    void invertRegion(const QRegion& region);
    void frameRegion(const QRegion& region, const BrushSpec& brush, QSizeF thickness);
    // Text at a reference point; `advances` (logical units) place each character when given.
    void text(QPointF reference, const QString& text, const std::vector<double>& advances,
              uint32_t options, const std::optional<QRectF>& rect);

    // Path brackets: between begin and end, drawing adds to the path instead of painting.
    void beginPath();
    void endPath();
    void closeFigure();
    void drawFinishedPath(bool fill, bool stroke);
    void clipToFinishedPath(int mode);

    // How many times the canvas has painted: zero when nothing of the metafile could be drawn.
    qint64 paints() const { return paints_; }

private:
    static std::optional<QPointF> scaledExtent(QPointF extent, double xNumerator,
                                               double xDenominator, double yNumerator,
                                               double yDenominator);
    void prepare();
    QPen currentPen() const;
    void fillAndStroke(const QPainterPath& path, bool fill, bool stroke);
    // Painting with a painter that may be the picture's own or a layer's, whose device pixel
    // (0, 0) is the picture pixel `origin`. `opaque` paints the whole shape even with a null or
    // hatched brush, as the brush of a raster operation does.
    void paintShape(QPainter& painter, const QPainterPath& shape, bool fill, bool stroke,
                    QPoint origin) const;
    void paintBrush(QPainter& painter, const QPainterPath& shape, QPoint origin, bool opaque) const;
    // The picture pixels that a logical shape touches, `margin` pixels round it included.
    QRect coveredArea(const QPainterPath& shape, double margin) const;
    // A transparent layer over `area` and a painter on it with the clip and logical mapping.
    void beginLayer(QImage& layer, QPainter& painter, const QRect& area) const;

    QImage& picture_;
    const char* formatName_;
    QTransform deviceToPicture_;
    QPointF devicePixelsPerMm_;
    QPainter painter_;
    DeviceState state_;
    ObjectTable objects_;
    std::vector<DeviceState> saved_;
    std::optional<QPainterPath> path_;  // in picture pixels, while a bracket is open
    QPainterPath finishedPath_;
    qint64 paints_ = 0;
};

}  // namespace formats::metafile
