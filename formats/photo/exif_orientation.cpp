#include "formats/photo/exif_orientation.h"

#include <libexif/exif-data.h>

#include <memory>

namespace formats {
namespace {

// EXIF blocks of real photographs are a few kilobytes (a JPEG segment holds at most 64 KB);
// a larger block is not worth handing to the parser.
constexpr qsizetype kLargestExifBlock = 1 << 20;

struct ExifDataUnref {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};

}  // namespace

int exifOrientation(const QByteArray& exif) {
    if (exif.size() < 8 || exif.size() > kLargestExifBlock) {
        return 1;
    }
    // libexif wants the JPEG segment's "Exif\0\0" prefix before the TIFF structure; the
    // PNG and WebP chunks leave it out (some writers keep it all the same).
    static const QByteArray prefix("Exif\0\0", 6);
    const QByteArray block = exif.startsWith(prefix) ? exif : prefix + exif;
    std::unique_ptr<ExifData, ExifDataUnref> data(exif_data_new());
    if (!data) {
        return 1;
    }
    // Only the first IFD's tags matter: no maker notes, and no tag fixing that could add
    // entries the file does not have.
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_set_option(data.get(), EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
    exif_data_set_option(data.get(), EXIF_DATA_OPTION_DONT_CHANGE_MAKER_NOTE);
    exif_data_load_data(data.get(), reinterpret_cast<const unsigned char*>(block.constData()),
                        static_cast<unsigned int>(block.size()));
    ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (entry == nullptr || entry->format != EXIF_FORMAT_SHORT || entry->components != 1 ||
        entry->data == nullptr || entry->size < 2) {
        return 1;
    }
    const int value = exif_get_short(entry->data, exif_data_get_byte_order(data.get()));
    return value >= 1 && value <= 8 ? value : 1;
}

}  // namespace formats
