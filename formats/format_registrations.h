// Start-up and shut-down of the picture formats: the codecs' own registry entries and the
// format list with its 39 registrations, plus what the open dialog needs from the registry.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include "formats/file_format_list.h"
#include "formats/picture_type_registry.h"

namespace formats {

// Enters the JPEG and GIF codecs' entries and the 39 registrations of the format list into
// registry, in that order. The caller owns the list; destroying it removes its entries.
void registerCodecFormats(PictureTypeRegistry& registry);
void registerFormatList(TFileFormatList& list);
// Enters WebP, HEIF (.heic, .heif), AVIF and JPEG XL, which come after the format list.
void registerPhotoFormats(PictureTypeRegistry& registry);

// The program's start-up and shut-down calls on the global registry: the codecs, the format
// list, then the photograph formats. Registering twice does nothing; unregistering removes
// everything the start-up entered and frees the format list.
void registerPictureFormats();
void unregisterPictureFormats();

// The global format list while the formats are registered, otherwise nullptr.
TFileFormatList* fileFormatList();

// The open dialog's filter from the global registry (see PictureTypeRegistry).
QString openDialogFilter();

// Decodes data with the reader the global registry has for extension (with or without its
// dot, any case). Throws FormatError.
QImage readByExtension(const QByteArray& data, const QString& extension);

}  // namespace formats
