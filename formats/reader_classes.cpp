#include "formats/reader_classes.h"

#include "formats/jpeg_codec.h"
#include "formats/readers/format_readers.h"

namespace formats {
namespace {

bool isEnhancedMetafile(const QByteArray& data) {
    // EMR_HEADER (type 1) comes first and carries the signature " EMF" at offset 40.
    return data.size() >= 44 && data.startsWith(QByteArray("\x01\x00\x00\x00", 4)) &&
           data.mid(40, 4) == " EMF";
}

}  // namespace

QImage readMetafile(const QByteArray& data) {
    return isEnhancedMetafile(data) ? readEnhancedMetafile(data) : readWindowsMetafile(data);
}

const ReaderClass kBitmapReader{"TBitmap", &readBmp};
const ReaderClass kIconReader{"TIcon", &readIcon};
const ReaderClass kMetafileReader{"TMetafile", &readMetafile};
const ReaderClass kJpegReader{"TJPEGImage", &decodeJpeg};
const ReaderClass kGifReader{"TGIFImage", &readGif};
const ReaderClass kTiffReader{"TTIFFGraphic", &readTiff};
const ReaderClass kEpsReader{"TEPSGraphic", &readEps};
const ReaderClass kPngReader{"TPNGGraphic", &readPng};
const ReaderClass kTargaReader{"TTargaGraphic", &readTarga};
const ReaderClass kPcxReader{"TPCXGraphic", &readPcx};
const ReaderClass kRlaReader{"TRLAGraphic", &readAliasWavefront};
const ReaderClass kSgiReader{"TSGIGraphic", &readSgi};
const ReaderClass kPsdReader{"TPSDGraphic", &readPhotoshop};
const ReaderClass kPpmReader{"TPPMGraphic", &readPortableMap};
const ReaderClass kAutodeskReader{"TAutodeskGraphic", &readAutodesk};
const ReaderClass kPcdReader{"TPCDGraphic", &readPhotoCd};
const ReaderClass kCutReader{"TCUTGraphic", &readDrHalo};
const ReaderClass kPspReader{"TPSPGraphic", &readPaintShopPro};
const ReaderClass kWebpReader{"WebP reader", &readWebp};
const ReaderClass kHeifReader{"HEIF reader", &readHeif};
const ReaderClass kJpegXlReader{"JPEG XL reader", &readJpegXl};

}  // namespace formats
