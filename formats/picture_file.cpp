#include "formats/picture_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "formats/bmp_codec.h"
#include "formats/format_error.h"
#include "formats/jpeg_codec.h"
#include "formats/picture_limits.h"

namespace formats {
namespace {

[[noreturn]] void fail(const QString& message) {
    throw FormatError(message.toStdString());
}

bool startsWithJpegMarker(const QByteArray& data) {
    return data.size() >= 3 && static_cast<uchar>(data[0]) == 0xFF &&
           static_cast<uchar>(data[1]) == 0xD8 && static_cast<uchar>(data[2]) == 0xFF;
}

QString lowerSuffix(const QString& path) {
    return QFileInfo(path).suffix().toLower();
}

}  // namespace

QImage toPicture24(const QImage& picture) {
    if (picture.isNull() || picture.format() == QImage::Format_BGR888) {
        return picture;
    }
    if (!picture.hasAlphaChannel()) {
        return picture.convertToFormat(QImage::Format_BGR888);
    }
    // convertToFormat() would keep premultiplied colours (dark where transparent); drop the
    // alpha instead by reading the colours as if every pixel were opaque.
    QImage opaque = picture.convertToFormat(QImage::Format_ARGB32);
    opaque.reinterpretAsFormat(QImage::Format_RGB32);
    return opaque.convertToFormat(QImage::Format_BGR888);
}

QImage decodePicture(const QByteArray& data, const QString& nameForMessages) {
    if (startsWithJpegMarker(data)) {
        return decodeJpeg(data);
    }
    if (data.startsWith("BM")) {
        return decodeBmp(data);
    }
    fail(QStringLiteral("%1 is not a picture type Mugwarp can read.").arg(nameForMessages));
}

QImage readPictureFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
    }
    if (file.size() > kMaxPictureFileBytes) {
        fail(QStringLiteral("%1 is too large to be a picture Mugwarp can edit.").arg(path));
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        fail(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    }
    return decodePicture(data, path);
}

bool isWritableFileName(const QString& path) {
    const QString suffix = lowerSuffix(path);
    return suffix == u"bmp" || suffix == u"jpg" || suffix == u"jpeg";
}

QByteArray encodeForFileName(const QImage& picture, const QString& path) {
    const QString suffix = lowerSuffix(path);
    if (suffix == u"bmp") {
        return encodeBmp24(picture);
    }
    if (suffix == u"jpg" || suffix == u"jpeg") {
        return encodeJpeg(picture);
    }
    fail(QStringLiteral("Cannot save %1: Mugwarp writes only .bmp, .jpg and .jpeg files.")
             .arg(path));
}

void writeFileAtomically(const QString& path, const QByteArray& data) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        fail(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    }
    if (file.write(data) != data.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        fail(QStringLiteral("Cannot write %1: %2").arg(path, reason));
    }
    if (!file.commit()) {
        fail(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    }
}

}  // namespace formats
