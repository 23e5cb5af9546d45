// Bounds-checked little-endian reading of one metafile record. Every read checks what is left of
// the record, so a record whose size lies ends in a FormatError, never in a read past its end;
// the players then skip that record.
#pragma once

#include <QPolygonF>
#include <QRgb>
#include <QtGlobal>
#include <cstdint>
#include <string>

#include "formats/format_error.h"

namespace formats::metafile {

// A refusal of the whole file that skipping one record would not mend.
struct WholeFileError : FormatError {
    using FormatError::FormatError;
};

[[noreturn]] inline void throwDamaged(const char* formatName, const std::string& what) {
    throw FormatError(std::string("Cannot load image. The ") + formatName +
                      " file is damaged: " + what + ".");
}

class RecordData {
public:
    RecordData(const uint8_t* bytes, qint64 size, const char* formatName)
        : bytes_(bytes), size_(size), formatName_(formatName) {}

    qint64 size() const { return size_; }
    qint64 position() const { return position_; }
    qint64 remaining() const { return size_ - position_; }
    const char* formatName() const { return formatName_; }
    const uint8_t* bytes() const { return bytes_; }

    void seek(qint64 offset) {
        if (offset < 0 || offset > size_) {
            throwShort();
        }
        position_ = offset;
    }
    void skip(qint64 count) { take(count); }
    const uint8_t* take(qint64 count) {
        if (count < 0 || count > size_ - position_) {
            throwShort();
        }
        const uint8_t* at = bytes_ + position_;
        position_ += count;
        return at;
    }

    uint16_t u16() {
        const uint8_t* at = take(2);
        return static_cast<uint16_t>(at[0] | (at[1] << 8));
    }
    int16_t s16() { return static_cast<int16_t>(u16()); }
    uint32_t u32() {
        const uint8_t* at = take(4);
        return uint32_t{at[0]} | (uint32_t{at[1]} << 8) | (uint32_t{at[2]} << 16) |
               (uint32_t{at[3]} << 24);
    }
    int32_t s32() { return static_cast<int32_t>(u32()); }
    float f32() {
        const uint32_t bits = u32();
        float value;
        static_assert(sizeof value == sizeof bits);
        __builtin_memcpy(&value, &bits, sizeof value);
        return value;
    }

    // A part of this record, for data found at an offset inside it.
    RecordData sub(qint64 offset, qint64 count) const {
        if (offset < 0 || count < 0 || offset > size_ || count > size_ - offset) {
            throwShort();
        }
        return RecordData(bytes_ + offset, count, formatName_);
    }

    [[noreturn]] void throwShort() const {
        throwDamaged(formatName_, "a record is shorter than its data");
    }

private:
    const uint8_t* bytes_;
    qint64 size_;
    qint64 position_ = 0;
    const char* formatName_;
};

// A COLORREF: red, green and blue bytes and one unused.
inline QRgb colourRef(RecordData& data) {
    const uint32_t value = data.u32();
    return qRgb(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

// `count` points of two 16-bit coordinates, x first.
inline QPolygonF points16(RecordData& data, qint64 count) {
    if (count < 0 || count > data.remaining() / 4) {
        data.throwShort();
    }
    QPolygonF polygon;
    polygon.reserve(count);
    for (qint64 i = 0; i < count; ++i) {
        const int16_t x = data.s16();
        const int16_t y = data.s16();
        polygon.append(QPointF(x, y));
    }
    return polygon;
}

}  // namespace formats::metafile
