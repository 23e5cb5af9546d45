#include "formats/metafile/metafile_reader.h"

#include <string>

#include "formats/format_error.h"
#include "formats/metafile/metafile_players.h"
#include "formats/picture_limits.h"

namespace formats {
namespace {

void checkFileSize(const QByteArray& data, const char* formatName) {
    if (data.size() > kMaxPictureFileBytes) {
        throw FormatError(std::string("The ") + formatName +
                          " file is too large to be a picture Mugwarp can edit.");
    }
}

}  // namespace

QImage readWindowsMetafile(const QByteArray& data) {
    checkFileSize(data, "WMF");
    return metafile::playWindowsMetafile(data);
}

QImage readEnhancedMetafile(const QByteArray& data) {
    checkFileSize(data, "EMF");
    return metafile::playEnhancedMetafile(data);
}

}  // namespace formats
