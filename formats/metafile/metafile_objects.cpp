#include "formats/metafile/metafile_objects.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace formats::metafile {
namespace {

// WMF object indices are 16-bit.
constexpr size_t kMaxObjects = 65536;

}  // namespace

PenSpec makePen(uint32_t style, double width, QRgb colour) {
    PenSpec pen;
    pen.style = style;
    pen.width = std::abs(width);
    pen.colour = colour;
    return pen;
}

BrushSpec makeBrush(uint32_t style, QRgb colour, uint32_t hatch) {
    BrushSpec brush;
    brush.style = style > kBrushHatched ? kBrushSolid : style;
    brush.colour = colour;
    brush.hatch = hatch;
    return brush;
}

BrushSpec makePatternBrush(const QImage& pattern) {
    BrushSpec brush;
    brush.style = kBrushPattern;
    brush.pattern = pattern.convertToFormat(QImage::Format_RGB32);
    return brush;
}

PenSpec readPen(RecordData& data, bool enhanced) {
    const uint32_t style = enhanced ? data.u32() : data.u16();
    const int32_t width = enhanced ? data.s32() : data.s16();
    data.skip(enhanced ? 4 : 2);  // the unused y of the width
    return makePen(style, width, colourRef(data));
}

BrushSpec readBrush(RecordData& data, bool enhanced) {
    const uint32_t style = enhanced ? data.u32() : data.u16();
    const QRgb colour = colourRef(data);
    return makeBrush(style, colour, enhanced ? data.u32() : data.u16());
}

FontSpec readFont(RecordData& data, bool enhanced) {
    const qint64 fieldBytes = enhanced ? 4 : 2;
    const auto field = [&] { return enhanced ? data.s32() : int32_t{data.s16()}; };
    FontSpec font;
    font.height = field();
    data.skip(fieldBytes);  // width
    font.escapement = field();
    data.skip(fieldBytes);  // orientation
    font.weight = field();
    font.italic = data.take(1)[0] != 0;
    font.underline = data.take(1)[0] != 0;
    font.strikeOut = data.take(1)[0] != 0;
    data.skip(5);  // character set, precisions, quality, pitch and family
    // At most 32 characters, ended by a zero unless they fill the field.
    const qint64 characters = std::min<qint64>(32, data.remaining() / (enhanced ? 2 : 1));
    for (qint64 i = 0; i < characters; ++i) {
        const uint16_t unit = enhanced ? data.u16() : data.take(1)[0];
        if (unit == 0) {
            break;
        }
        font.face.append(QChar(unit));
    }
    return font;
}

void ObjectTable::resize(qint64 count) {
    const qint64 kept = std::clamp(count, qint64{0}, static_cast<qint64>(kMaxObjects));
    slots_.clear();
    slots_.resize(static_cast<size_t>(kept));
}

void ObjectTable::add(GdiObject object) {
    for (auto& slot : slots_) {
        if (!slot) {
            slot = std::move(object);
            return;
        }
    }
    if (slots_.size() >= kMaxObjects) {
        throwDamaged(formatName_, "it creates more objects than a metafile can hold");
    }
    slots_.emplace_back(std::move(object));
}

void ObjectTable::check(qint64 index) const {
    if (index < 0 || index >= size()) {
        throwDamaged(formatName_, "a record uses object " + std::to_string(index) +
                                      ", outside its object table of " +
                                      std::to_string(slots_.size()));
    }
}

void ObjectTable::set(qint64 index, GdiObject object) {
    check(index);
    slots_[static_cast<size_t>(index)] = std::move(object);
}

const std::optional<GdiObject>& ObjectTable::at(qint64 index) const {
    check(index);
    return slots_[static_cast<size_t>(index)];
}

void ObjectTable::remove(qint64 index) {
    check(index);
    slots_[static_cast<size_t>(index)].reset();
}

}  // namespace formats::metafile
