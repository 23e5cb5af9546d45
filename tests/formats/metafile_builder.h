// Builds small WMF and EMF files record by record, for the metafile reader's tests.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <cstdint>
#include <initializer_list>

namespace formats_test {

inline void put16(QByteArray& out, int value) {
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}

inline void put32(QByteArray& out, int64_t value) {
    put16(out, static_cast<int>(value & 0xFFFF));
    put16(out, static_cast<int>((value >> 16) & 0xFFFF));
}

inline uint32_t colourRef(QRgb colour) {
    return static_cast<uint32_t>(qRed(colour)) | (static_cast<uint32_t>(qGreen(colour)) << 8) |
           (static_cast<uint32_t>(qBlue(colour)) << 16);
}

// A packed bottom-up 24-bit DIB (BITMAPINFOHEADER and rows) of a picture.
inline QByteArray packedDib(const QImage& picture) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    QByteArray out;
    put32(out, 40);
    put32(out, rgb.width());
    put32(out, rgb.height());
    put16(out, 1);
    put16(out, 24);
    for (int i = 0; i < 6; ++i) {
        put32(out, 0);
    }
    for (int y = rgb.height() - 1; y >= 0; --y) {
        int bytes = 0;
        for (int x = 0; x < rgb.width(); ++x, bytes += 3) {
            const QRgb pixel = rgb.pixel(x, y);
            out.append(static_cast<char>(qBlue(pixel)));
            out.append(static_cast<char>(qGreen(pixel)));
            out.append(static_cast<char>(qRed(pixel)));
        }
        for (; bytes % 4 != 0; ++bytes) {
            out.append('\0');
        }
    }
    return out;
}

class WmfBuilder {
public:
    // Parameters as the record stores them (last argument first).
    WmfBuilder& record(int function, std::initializer_list<int> words) {
        QByteArray parameters;
        for (const int word : words) {
            put16(parameters, word);
        }
        return record(function, parameters);
    }
    WmfBuilder& record(int function, const QByteArray& parameters) {
        put32(records_, 3 + (parameters.size() + 1) / 2);
        put16(records_, function);
        records_.append(parameters);
        if (parameters.size() % 2 != 0) {
            records_.append('\0');
        }
        return *this;
    }
    WmfBuilder& solidBrush(QRgb colour) {
        QByteArray parameters;
        put16(parameters, 0);
        put32(parameters, colourRef(colour));
        put16(parameters, 0);
        return record(0x02FC, parameters);
    }
    WmfBuilder& pen(int style, int width, QRgb colour) {
        QByteArray parameters;
        put16(parameters, style);
        put16(parameters, width);
        put16(parameters, 0);
        put32(parameters, colourRef(colour));
        return record(0x02FA, parameters);
    }
    WmfBuilder& select(int index) { return record(0x012D, {index}); }
    WmfBuilder& remove(int index) { return record(0x01F0, {index}); }
    WmfBuilder& rectangle(int left, int top, int right, int bottom) {
        return record(0x041B, {bottom, right, top, left});
    }

    QByteArray plain(int objects) const {
        QByteArray out;
        put16(out, 1);
        put16(out, 9);
        put16(out, 0x0300);
        put32(out, 9 + (records_.size() + 6) / 2);
        put16(out, objects);
        put32(out, 0);
        put16(out, 0);
        out.append(records_);
        put32(out, 3);
        put16(out, 0);
        return out;
    }
    QByteArray placeable(int left, int top, int right, int bottom, int unitsPerInch,
                         int objects) const {
        QByteArray out;
        put32(out, 0x9AC6CDD7);
        put16(out, 0);
        put16(out, left);
        put16(out, top);
        put16(out, right);
        put16(out, bottom);
        put16(out, unitsPerInch);
        put32(out, 0);
        put16(out, 0);  // checksum, not checked by the reader
        out.append(plain(objects));
        return out;
    }

private:
    QByteArray records_;
};

class EmfBuilder {
public:
    EmfBuilder& record(uint32_t type, const QByteArray& parameters) {
        put32(records_, type);
        put32(records_, 8 + parameters.size());
        records_.append(parameters);
        return *this;
    }
    EmfBuilder& record(uint32_t type, std::initializer_list<int64_t> values) {
        QByteArray parameters;
        for (const int64_t value : values) {
            put32(parameters, value);
        }
        return record(type, parameters);
    }

    // The frame in hundredths of a millimetre; the reference device is 96 pixels per inch.
    QByteArray file(int frameRight, int frameBottom, int handles) const {
        QByteArray out;
        put32(out, 1);
        put32(out, 88);
        for (const int value : {0, 0, frameRight * 96 / 2540, frameBottom * 96 / 2540}) {
            put32(out, value);
        }
        for (const int value : {0, 0, frameRight, frameBottom}) {
            put32(out, value);
        }
        put32(out, 0x464D4520);
        put32(out, 0x10000);
        put32(out, 88 + records_.size() + 20);
        put32(out, 0);
        put16(out, handles);
        put16(out, 0);
        put32(out, 0);
        put32(out, 0);
        put32(out, 0);
        for (const int value : {960, 960, 254, 254}) {
            put32(out, value);
        }
        out.append(records_);
        for (const int value : {14, 20, 0, 16, 20}) {
            put32(out, value);
        }
        return out;
    }

private:
    QByteArray records_;
};

}  // namespace formats_test
