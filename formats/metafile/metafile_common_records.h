// The records that WMF and EMF share in meaning: state, mapping, colours, clipping rectangles
// and the simple shapes. Each player names its own function numbers for them; the arguments
// are read here in either layout.
#pragma once

#include <QPointF>
#include <QRectF>
#include <array>
#include <optional>

#include "formats/metafile/metafile_canvas.h"
#include "formats/metafile/metafile_record_data.h"

namespace formats::metafile {

// A record's arguments in the order of the drawing call. WMF stores 16-bit values, last
// argument first (so points come y first and rectangles bottom-right first); EMF stores 32-bit
// values in order.
class Arguments {
public:
    Arguments(RecordData& data, bool enhanced) : data_(data), enhanced_(enhanced) {}

    RecordData& data() { return data_; }
    bool enhanced() const { return enhanced_; }

    // The next `count` signed values, in argument order.
    template <int count>
    std::array<double, count> values() {
        std::array<double, count> out{};
        for (int i = 0; i < count; ++i) {
            out[static_cast<size_t>(enhanced_ ? i : count - 1 - i)] =
                enhanced_ ? data_.s32() : data_.s16();
        }
        return out;
    }
    int32_t integer() { return enhanced_ ? data_.s32() : data_.s16(); }
    uint32_t flags() { return enhanced_ ? data_.u32() : data_.u16(); }
    QPointF point();
    QRectF rect();

private:
    RecordData& data_;
    bool enhanced_;
};

enum class CommonRecord {
    SaveState,
    RestoreState,
    MapMode,
    BackgroundMode,
    PolyFillMode,
    Mix,
    TextAlign,
    BackgroundColour,
    TextColour,
    WindowOrg,
    WindowExt,
    ViewportOrg,
    ViewportExt,
    ScaleWindowExt,
    ScaleViewportExt,
    IntersectClip,
    ExcludeClip,
    OffsetClip,
    MoveTo,
    LineTo,
    Rectangle,
    Ellipse,
    RoundRectangle,
    Arc,
    Chord,
    Pie,
    SetPixel,
};

void playCommonRecord(CommonRecord record, Arguments& in, MetafileCanvas& canvas);

}  // namespace formats::metafile
