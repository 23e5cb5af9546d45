#include "formats/readers/epsi_preview.h"

#include <QByteArrayView>
#include <QList>
#include <algorithm>

#include "formats/format_error.h"
#include "formats/picture_limits.h"

namespace formats {
namespace {

constexpr QByteArrayView kBegin = "%%BeginPreview:";
constexpr QByteArrayView kEnd = "%%EndPreview";

[[noreturn]] void throwBadPreview(const char* what) {
    throw FormatError(QStringLiteral("Cannot load image. The EPS preview is damaged: %1.")
                          .arg(QString::fromLatin1(what))
                          .toStdString());
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The comment must start a line: at the very beginning or after a line end.
qsizetype findAtLineStart(const QByteArray& text, QByteArrayView comment) {
    qsizetype at = 0;
    while ((at = text.indexOf(comment, at)) >= 0) {
        if (at == 0 || text[at - 1] == '\n' || text[at - 1] == '\r') {
            return at;
        }
        ++at;
    }
    return -1;
}

}  // namespace

std::optional<QImage> readEpsiPreview(const QByteArray& postscript) {
    const qsizetype begin = findAtLineStart(postscript, kBegin);
    if (begin < 0) {
        return std::nullopt;
    }
    qsizetype lineEnd = postscript.indexOf('\n', begin);
    if (lineEnd < 0) {
        lineEnd = postscript.size();
    }
    const qsizetype sizeStart = begin + kBegin.size();
    const QList<QByteArray> fields =
        postscript.mid(sizeStart, lineEnd - sizeStart).simplified().split(' ');
    if (fields.size() < 3) {
        throwBadPreview("its size is missing");
    }
    bool ok[3];
    const qint64 width = fields[0].toLongLong(&ok[0]);
    const qint64 height = fields[1].toLongLong(&ok[1]);
    const int depth = fields[2].toInt(&ok[2]);
    if (!ok[0] || !ok[1] || !ok[2]) {
        throwBadPreview("its size is not a number");
    }
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8) {
        throwBadPreview("its depth is not 1, 2, 4 or 8 bits");
    }
    checkPictureSize(width, height, "EPS preview");

    // The digits follow in comment lines up to the end comment; the bytes of a row are
    // whole, so a row of w samples takes ceil(w·depth / 8) bytes.
    const qint64 rowBytes = (width * depth + 7) / 8;
    const qint64 needed = rowBytes * height;
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(std::min<qint64>(needed, postscript.size() / 2)));
    qsizetype at = lineEnd + 1;
    while (at < postscript.size() && bytes.size() < needed) {
        qsizetype end = postscript.indexOf('\n', at);
        if (end < 0) {
            end = postscript.size();
        }
        const QByteArrayView line = QByteArrayView(postscript).sliced(at, end - at).trimmed();
        at = end + 1;
        if (line.startsWith(kEnd)) {
            break;
        }
        if (line.startsWith("%%") || line.isEmpty()) {
            continue;  // another structuring comment
        }
        if (!line.startsWith('%')) {
            throwBadPreview("a line of its samples is no comment");
        }
        int high = -1;
        for (const char c : line.sliced(1)) {
            if (c == ' ' || c == '\t') {
                continue;
            }
            const int value = hexValue(c);
            if (value < 0) {
                throwBadPreview("its samples are not hexadecimal");
            }
            if (high < 0) {
                high = value;
            } else {
                bytes.append(static_cast<char>(high << 4 | value));
                high = -1;
            }
        }
    }
    if (bytes.size() < needed) {
        throwBadPreview("it holds fewer samples than its size needs");
    }

    QImage picture(static_cast<int>(width), static_cast<int>(height), QImage::Format_BGR888);
    if (picture.isNull()) {
        throw FormatError("Not enough memory for the EPS preview.");
    }
    const int maxSample = (1 << depth) - 1;
    const auto* samples = reinterpret_cast<const uchar*>(bytes.constData());
    for (int y = 0; y < picture.height(); ++y) {
        const uchar* row = samples + y * rowBytes;
        uchar* out = picture.scanLine(y);
        for (int x = 0; x < picture.width(); ++x, out += 3) {
            const qint64 bit = qint64{x} * depth;
            const int shift = 8 - depth - static_cast<int>(bit % 8);
            const int ink = (row[bit / 8] >> shift) & maxSample;
            const uchar grey = static_cast<uchar>(255 - ink * (255 / maxSample));
            out[0] = out[1] = out[2] = grey;
        }
    }
    return picture;
}

}  // namespace formats
