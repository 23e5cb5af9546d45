// Encapsulated PostScript: we show its preview, the TIFF or Windows metafile that a DOS EPS
// binary header points at, or else the grey bitmap in the PostScript's own comments. Only a
// file with no preview at all has its PostScript drawn, by Ghostscript in a separate process
// (postscript_renderer.h).
#include <cstdint>

#include "formats/format_error.h"
#include "formats/reader_classes.h"
#include "formats/readers/epsi_preview.h"
#include "formats/readers/format_readers.h"
#include "formats/readers/postscript_renderer.h"

namespace formats {
namespace {

constexpr qint64 kHeaderSize = 30;

uint32_t little32(const uchar* at) {
    return at[0] | (uint32_t{at[1]} << 8) | (uint32_t{at[2]} << 16) | (uint32_t{at[3]} << 24);
}

}  // namespace

QImage readEpsRendering(const QByteArray& data, const PostScriptRendering& how) {
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    const bool binaryHeader = data.size() >= 4 && bytes[0] == 0xC5 && bytes[1] == 0xD0 &&
                              bytes[2] == 0xD3 && bytes[3] == 0xC6;
    if (!binaryHeader) {
        if (data.startsWith("%!PS")) {
            if (std::optional<QImage> preview = readEpsiPreview(data)) {
                return *preview;
            }
            if (std::optional<QImage> drawn = renderPostScript(data, how)) {
                return *drawn;
            }
            throw FormatError(
                "Cannot load image. PostScript without a preview is not supported for EPS "
                "files.");
        }
        throw FormatError("Cannot load image. Invalid or unexpected EPS image format.");
    }
    if (data.size() < kHeaderSize) {
        throw FormatError("Stream read error in EPS file.");
    }
    const qint64 size = data.size();
    auto section = [&](int field) -> QByteArray {
        const qint64 start = little32(bytes + field);
        const qint64 length = little32(bytes + field + 4);
        if (length == 0) {
            return {};
        }
        if (start < kHeaderSize || start > size || length > size - start) {
            throw FormatError("Stream read error in EPS file.");
        }
        return data.mid(start, length);
    };
    const QByteArray tiff = section(20);
    if (!tiff.isEmpty()) {
        return readTiff(tiff);
    }
    const QByteArray metafile = section(12);
    if (!metafile.isEmpty()) {
        return readMetafile(metafile);
    }
    const QByteArray postscript = section(4);
    if (std::optional<QImage> preview = readEpsiPreview(postscript)) {
        return *preview;
    }
    if (!postscript.isEmpty()) {
        if (std::optional<QImage> drawn = renderPostScript(postscript, how)) {
            return *drawn;
        }
    }
    throw FormatError("Cannot load image. The EPS file holds no TIFF, WMF or text preview.");
}

QImage readEps(const QByteArray& data) {
    return readEpsRendering(data, {});
}

}  // namespace formats
