#include "formats/picture_file.h"

#include "formats/picture_type_registry.h"

#include <QFileInfo>

#include "formats/bmp_codec.h"
#include "formats/file_bytes.h"
#include "formats/format_error.h"
#include "formats/gif_writer.h"
#include "formats/jpeg_codec.h"
#include "formats/picture_type_registry.h"
#include "formats/png_writer.h"
#include "formats/reader_classes.h"
#include "formats/readers/format_readers.h"
#include "formats/readers/postscript_permission.h"
#include "formats/webp_writer.h"
#include "formats/wmf_writer.h"

namespace formats {
namespace {

[[noreturn]] void fail(const QString& message) {
    throw FormatError(message.toStdString());
}

bool startsWith(const QByteArray& data, const char* magic, qsizetype length) {
    return data.startsWith(QByteArrayView(magic, length));
}

bool isMetafile(const QByteArray& data) {
    return startsWith(data, "\xD7\xCD\xC6\x9A", 4) ||  // placeable header
           startsWith(data, "\x01\x00\x09\x00\x00\x03", 6) ||
           startsWith(data, "\x02\x00\x09\x00\x00\x03", 6) ||
           (data.size() >= 44 && startsWith(data, "\x01\x00\x00\x00", 4) &&
            data.mid(40, 4) == " EMF");
}

// Photoshop documents: "8BPS", then version 1 (.psd) or 2 (.psb, the large document).
bool isPhotoshop(const QByteArray& data) {
    return startsWith(data, "8BPS\0\x01", 6) || startsWith(data, "8BPS\0\x02", 6);
}

// ISO base media files of still pictures: HEIC, HEIF and AVIF, by the brand in "ftyp".
bool isHeif(const QByteArray& data) {
    if (data.size() < 12 || data.mid(4, 4) != "ftyp") {
        return false;
    }
    const QByteArray brand = data.mid(8, 4);
    for (const char* known :
         {"heic", "heix", "hevc", "hevx", "heim", "heis", "mif1", "msf1", "avif", "avis"}) {
        if (brand == known) {
            return true;
        }
    }
    return false;
}

// The reader for a file's first bytes, or nullptr.
PictureReader readerByContent(const QByteArray& data) {
    if (startsWith(data, "\xFF\xD8\xFF", 3)) {
        return &decodeJpeg;
    }
    if (data.startsWith("BM")) {
        return &readBmp;
    }
    if (data.startsWith("GIF87a") || data.startsWith("GIF89a")) {
        return &readGif;
    }
    if (startsWith(data, "\x89PNG\r\n\x1a\n", 8)) {
        return &readPng;
    }
    if (startsWith(data, "II*\0", 4) || startsWith(data, "MM\0*", 4)) {
        return &readTiff;
    }
    if (data.size() >= 6 &&
        (startsWith(data, "\0\0\x01\0", 4) || startsWith(data, "\0\0\x02\0", 4))) {
        return &readIcon;
    }
    if (startsWith(data, "\xC5\xD0\xD3\xC6", 4) ||
        (data.startsWith("%!PS-Adobe") && data.left(data.indexOf('\n')).contains("EPSF"))) {
        return &readEps;
    }
    if (isMetafile(data)) {
        return &readMetafile;
    }
    if (isPhotoshop(data)) {
        return &readPhotoshop;
    }
    if (startsWith(data, "\xB1\x68\xDE\x3A", 4)) {  // multi-page PCX (DCX)
        return &readPcx;
    }
    if (data.size() >= 12 && data.startsWith("RIFF") && data.mid(8, 4) == "WEBP") {
        return &readWebp;
    }
    if (isHeif(data)) {
        return &readHeif;
    }
    if (startsWith(data, "\xFF\x0A", 2) ||
        startsWith(data, "\0\0\0\x0CJXL \r\n\x87\n", 12)) {  // codestream or container
        return &readJpegXl;
    }
    return nullptr;
}

QString lowerSuffix(const QString& path) {
    return QFileInfo(path).suffix().toLower();
}

// PostScript text, or an EPS file's binary header in front of it.
bool holdsPostScript(const QByteArray& data) {
    return data.startsWith("%!PS") || startsWith(data, "\xC5\xD0\xD3\xC6", 4);
}

bool namedPostScript(const QString& name) {
    const QString suffix = lowerSuffix(name);
    return suffix == u"eps" || suffix == u"epsf" || suffix == u"epsi" || suffix == u"ps";
}

// PostScript under another name is never drawn: a binary EPS header may still show the
// preview it carries, read with the interpreter forbidden; anything else is refused.
QImage previewOfMisnamedPostScript(const QByteArray& data, const QString& nameForMessages) {
    if (!data.startsWith("%!PS")) {
        const PostScriptPermission forbidden(PostScriptPermission::Rendering::Forbidden);
        try {
            return toPicture24(readEps(data));
        } catch (const FormatError&) {
        }
    }
    fail(QStringLiteral("%1 holds PostScript, which Mugwarp draws only from files named .eps, "
                        ".epsf, .epsi or .ps.")
             .arg(nameForMessages));
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
    if (holdsPostScript(data) && !namedPostScript(nameForMessages)) {
        return previewOfMisnamedPostScript(data, nameForMessages);
    }
    // The registered extension decides first: some types have no signature, and a Targa
    // file can begin with the same bytes as a cursor. A misnamed file still opens through
    // the reader its first bytes point to.
    const PictureType* type = pictureTypeRegistry().find(lowerSuffix(nameForMessages));
    const PictureReader byContent = readerByContent(data);
    if (type != nullptr) {
        try {
            return toPicture24(type->reader->read(data));
        } catch (const FormatError&) {
            if (byContent == nullptr || byContent == type->reader->read) {
                throw;
            }
        }
    }
    if (byContent != nullptr) {
        return toPicture24(byContent(data));
    }
    fail(QStringLiteral("%1 is not a picture type Mugwarp can read.").arg(nameForMessages));
}

QImage readPictureFile(const QString& path) {
    return decodePicture(readPictureBytes(path), path);
}

bool isWritableFileName(const QString& path) {
    const QString suffix = lowerSuffix(path);
    return suffix == u"bmp" || suffix == u"jpg" || suffix == u"jpeg" || suffix == u"gif" ||
           suffix == u"wmf" || suffix == u"png" || suffix == u"webp";
}

QByteArray encodeForFileName(const QImage& picture, const QString& path, int webpQuality) {
    const QString suffix = lowerSuffix(path);
    if (suffix == u"bmp") {
        return encodeBmp24(picture);
    }
    if (suffix == u"jpg" || suffix == u"jpeg") {
        return encodeJpeg(picture);
    }
    if (suffix == u"gif") {
        return encodeGif(picture);
    }
    if (suffix == u"wmf") {
        return encodeWmf(picture);
    }
    if (suffix == u"png") {
        return encodePng(picture);
    }
    if (suffix == u"webp") {
        return encodeWebp(picture, webpQuality);
    }
    fail(QStringLiteral("Cannot save %1: Mugwarp writes only .bmp, .jpg, .jpeg, .gif, .wmf, .png "
                        "and .webp files.")
             .arg(path));
}

}  // namespace formats
