#include "formats/format_registrations.h"

#include <memory>

#include "formats/reader_classes.h"

namespace formats {
namespace {

// Tags the codecs' own registry entries, so that shut-down removes exactly those.
constexpr char kCodecOwner = 0;
// Tags the entries of today's photograph formats, entered after the format list.
constexpr char kPhotoOwner = 0;

struct PhotoRegistration {
    const char* extension;
    const char* description;
    const ReaderClass& reader;
};

const PhotoRegistration kPhotoRegistrations[] = {
    {"webp", "WebP images", kWebpReader},     {"heic", "HEIF images", kHeifReader},
    {"heif", "HEIF images", kHeifReader},     {"avif", "AVIF images", kHeifReader},
    {"jxl", "JPEG XL images", kJpegXlReader},
};

struct Registration {
    const char* extension;
    const char* individualDescription;
    const char* commonDescription;  // nullptr: none given
    const ReaderClass& reader;
    int kinds;
};

// The texts come from the program's string table and are kept exactly as they are there.
const Registration kRegistrations[] = {
    {"bmp", "Windows bitmaps", "Windows bitmaps", kBitmapReader, 8},
    {"ico", "Windows icons", "Windows icons", kIconReader, 8},
    {"wmf", "Windows metafiles", "Windows metafiles", kMetafileReader, 16},
    {"emf", "Windows enhanced meta files", "Windows metafiles", kMetafileReader, 16},
    {"jfif", "JFIF images", "JPG images", kJpegReader, 8},
    {"jpg", "JPG images", nullptr, kJpegReader, 8},
    {"jpe", "JPE images", nullptr, kJpegReader, 8},
    {"jpeg", "JPEG images", nullptr, kJpegReader, 8},
    {"rle", "Run length encoded Windows bitmaps", "Windows bitmaps", kBitmapReader, 8},
    {"dib", "Device independant Windows bitmaps", nullptr, kBitmapReader, 8},
    {"win", "Truevision images", "Truevision images", kTargaReader, 8},
    {"vst", "Truevision images", nullptr, kTargaReader, 8},
    {"vda", "Truevision images", nullptr, kTargaReader, 8},
    {"tga", "Truevision images", nullptr, kTargaReader, 8},
    {"icb", "Truevision images", nullptr, kTargaReader, 8},
    {"tiff", "Macintosh TIFF images", "Tagged image file format images", kTiffReader, 12},
    {"tif", "PC TIF images", nullptr, kTiffReader, 12},
    {"fax", "GFI fax images", nullptr, kTiffReader, 12},
    {"eps", "Encapsulated Postscript images", "Encapsulated Postscript images", kEpsReader, 8},
    {"pcx", "ZSoft Paintbrush images", "ZSoft Paintbrush images", kPcxReader, 8},
    {"pcc", "ZSoft Paintbrush images", nullptr, kPcxReader, 8},
    {"scr", "Word 5.x screen capture images", nullptr, kPcxReader, 8},
    {"rpf", "Alias/Wavefront images", "Alias/Wavefront images", kRlaReader, 8},
    {"rla", "Alias/Wavefront images", nullptr, kRlaReader, 8},
    {"sgi", "SGI true color images", "SGI images", kSgiReader, 8},
    {"rgba", "SGI true color images with alpha", nullptr, kSgiReader, 8},
    {"rgb", "SGI true color images", nullptr, kSgiReader, 8},
    {"bw", "SGI black/white images", nullptr, kSgiReader, 8},
    {"psd", "Photoshop images", "Photoshop images", kPsdReader, 10},
    {"pdd", "Photoshop images", nullptr, kPsdReader, 10},
    {"ppm", "Portable pixel map images", "Portable map images", kPpmReader, 8},
    {"pgm", "Portable gray map images", nullptr, kPpmReader, 8},
    {"pbm", "Portable bitmap images", nullptr, kPpmReader, 8},
    {"cel", "Autodesk images", "Autodesk images", kAutodeskReader, 8},
    {"pic", "Autodesk images", "Autodesk images", kAutodeskReader, 8},
    {"pcd", "Kodak Photo-CD images", "Kodak Photo-CD images", kPcdReader, 8},
    {"cut", "Dr. Halo images", "Dr. Halo images", kCutReader, 8},
    {"psp", "Paintshop Pro images", "Paintshop Pro images", kPspReader, 24},
    {"png", "Portable network graphic images", "Portable network graphic images", kPngReader, 8},
};

std::unique_ptr<TFileFormatList>& globalList() {
    // Statics end in reverse order of creation: creating the registry first keeps it alive
    // for the list's destructor, which takes the list's entries out of it again.
    pictureTypeRegistry();
    static std::unique_ptr<TFileFormatList> list;
    return list;
}

QString textOrEmpty(const char* text) {
    return text == nullptr ? QString() : QString::fromLatin1(text);
}

}  // namespace

void registerCodecFormats(PictureTypeRegistry& registry) {
    registry.add(QStringLiteral("jpeg"), QStringLiteral("JPEG Image File"), kJpegReader,
                 &kCodecOwner);
    registry.add(QStringLiteral("jpg"), QStringLiteral("JPEG Image File"), kJpegReader,
                 &kCodecOwner);
    registry.add(QStringLiteral("GIF"), QStringLiteral("GIF Image"), kGifReader, &kCodecOwner);
}

void registerFormatList(TFileFormatList& list) {
    for (const Registration& row : kRegistrations) {
        list.Register(QString::fromLatin1(row.extension), textOrEmpty(row.commonDescription),
                      QString::fromLatin1(row.individualDescription), row.kinds, false, row.reader);
    }
}

void registerPhotoFormats(PictureTypeRegistry& registry) {
    for (const PhotoRegistration& row : kPhotoRegistrations) {
        registry.add(QString::fromLatin1(row.extension), QString::fromLatin1(row.description),
                     row.reader, &kPhotoOwner);
    }
}

void registerPictureFormats() {
    if (globalList()) {
        return;
    }
    PictureTypeRegistry& registry = pictureTypeRegistry();
    registerCodecFormats(registry);
    auto list = std::make_unique<TFileFormatList>(registry);
    registerFormatList(*list);
    globalList() = std::move(list);
    registerPhotoFormats(registry);
}

void unregisterPictureFormats() {
    if (!globalList()) {
        return;
    }
    globalList().reset();  // the list clears its registry entries as it goes
    PictureTypeRegistry& registry = pictureTypeRegistry();
    registry.removeClass(kJpegReader, &kCodecOwner);
    registry.removeClass(kGifReader, &kCodecOwner);
    for (const ReaderClass* reader : {&kWebpReader, &kHeifReader, &kJpegXlReader}) {
        registry.removeClass(*reader, &kPhotoOwner);
    }
}

TFileFormatList* fileFormatList() {
    return globalList().get();
}

QString openDialogFilter() {
    return pictureTypeRegistry().openDialogFilter();
}

QImage readByExtension(const QByteArray& data, const QString& extension) {
    return pictureTypeRegistry().read(data, extension);
}

}  // namespace formats
