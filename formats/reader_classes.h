// The reader classes behind the picture-type registry, one constant each: the platform's
// bitmap, icon and metafile classes, the JPEG and GIF codecs, and the readers of the format
// list. The name is the class name the registry is documented with.
#pragma once

#include "formats/picture_type_registry.h"

namespace formats {

extern const ReaderClass kBitmapReader;    // TBitmap
extern const ReaderClass kIconReader;      // TIcon
extern const ReaderClass kMetafileReader;  // TMetafile: WMF or EMF by content
extern const ReaderClass kJpegReader;      // TJPEGImage
extern const ReaderClass kGifReader;       // TGIFImage
extern const ReaderClass kTargaReader;     // TTargaGraphic
extern const ReaderClass kTiffReader;      // TTIFFGraphic
extern const ReaderClass kEpsReader;       // TEPSGraphic
extern const ReaderClass kPcxReader;       // TPCXGraphic
extern const ReaderClass kRlaReader;       // TRLAGraphic
extern const ReaderClass kSgiReader;       // TSGIGraphic
extern const ReaderClass kPsdReader;       // TPSDGraphic
extern const ReaderClass kPpmReader;       // TPPMGraphic
extern const ReaderClass kAutodeskReader;  // TAutodeskGraphic
extern const ReaderClass kPcdReader;       // TPCDGraphic
extern const ReaderClass kCutReader;       // TCUTGraphic
extern const ReaderClass kPspReader;       // TPSPGraphic
extern const ReaderClass kPngReader;       // TPNGGraphic
// Today's photograph formats, registered after the format list.
extern const ReaderClass kWebpReader;
extern const ReaderClass kHeifReader;  // HEIC, HEIF and AVIF
extern const ReaderClass kJpegXlReader;

// WMF or EMF, told apart by the enhanced metafile's header record and signature.
QImage readMetafile(const QByteArray& data);

}  // namespace formats
