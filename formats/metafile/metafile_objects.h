// The objects a metafile creates and selects (pens, brushes, fonts) and the table that holds
// them, shared by the WMF and EMF players.
#pragma once

#include <QImage>
#include <QRectF>
#include <QRgb>
#include <QString>
#include <optional>
#include <variant>
#include <vector>

#include "formats/metafile/metafile_record_data.h"

namespace formats::metafile {

struct PenSpec {
    uint32_t style = 0;  // PS_* style, end cap and join bits
    double width = 0;    // logical units; 0 is one device pixel
    QRgb colour = qRgb(0, 0, 0);
};

struct BrushSpec {
    uint32_t style = 0;  // BS_SOLID, BS_NULL, BS_HATCHED, BS_PATTERN/BS_DIBPATTERN
    QRgb colour = qRgb(255, 255, 255);
    uint32_t hatch = 0;
    QImage pattern;
};

struct FontSpec {
    int height = 0;      // logical units; negative is the character height, positive the cell's
    int escapement = 0;  // tenths of a degree
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    QString face;
};

constexpr uint32_t kPenNull = 5;
constexpr uint32_t kBrushSolid = 0;
constexpr uint32_t kBrushNull = 1;
constexpr uint32_t kBrushHatched = 2;
constexpr uint32_t kBrushPattern = 3;

// A WMF region: rectangles in logical units, right and bottom edges excluded.
struct RegionSpec {
    std::vector<QRectF> rects;
};

// Palettes and other objects we do not draw with still take a slot in the table.
struct OtherObject {};

using GdiObject = std::variant<OtherObject, PenSpec, BrushSpec, FontSpec, RegionSpec>;

// The objects as the create records describe them. A negative pen width counts as positive;
// a brush style that needs a bitmap, given without one, is drawn solid.
PenSpec makePen(uint32_t style, double width, QRgb colour);
BrushSpec makeBrush(uint32_t style, QRgb colour, uint32_t hatch);
BrushSpec makePatternBrush(const QImage& pattern);

// The logical pen, brush and font as the create records lay them out: WMF with 16-bit fields
// and an 8-bit face name, EMF (`enhanced`) with 32-bit fields and a UTF-16 one.
PenSpec readPen(RecordData& data, bool enhanced);
BrushSpec readBrush(RecordData& data, bool enhanced);
FontSpec readFont(RecordData& data, bool enhanced);

// The object table: slots checked on every use.
class ObjectTable {
public:
    explicit ObjectTable(const char* formatName) : formatName_(formatName) {}

    void resize(qint64 count);
    qint64 size() const { return static_cast<qint64>(slots_.size()); }
    // Puts the object into the lowest free slot (WMF), growing the table when it is full.
    void add(GdiObject object);
    void set(qint64 index, GdiObject object);  // EMF names the slot
    // The object in a slot, or none when the slot is empty; throws for a slot outside the table.
    const std::optional<GdiObject>& at(qint64 index) const;
    void remove(qint64 index);

private:
    void check(qint64 index) const;

    const char* formatName_;
    std::vector<std::optional<GdiObject>> slots_;
};

}  // namespace formats::metafile
