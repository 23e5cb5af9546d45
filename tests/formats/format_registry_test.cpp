// The format list, the picture-type registry it feeds and the open dialog's filter.
#include <gtest/gtest.h>

#include <QStringList>

#include "formats/bmp_codec.h"
#include "formats/file_format_list.h"
#include "formats/format_error.h"
#include "formats/format_registrations.h"
#include "formats/loader_rows.h"
#include "formats/reader_classes.h"
#include "test_pictures.h"

namespace {

using formats::PictureTypeRegistry;
using formats::TFileFormatList;

QString descriptionOf(const PictureTypeRegistry& registry, const char* extension) {
    const formats::PictureType* type = registry.find(QString::fromLatin1(extension));
    return type == nullptr ? QStringLiteral("<none>") : type->description;
}

// A registry with the codecs' entries and a format list with its 39 registrations.
struct Registered {
    PictureTypeRegistry registry;
    TFileFormatList list{registry};
    Registered() {
        formats::registerCodecFormats(registry);
        formats::registerFormatList(list);
    }
};

TEST(FormatList, RegistersTheThirtyNineExtensionsInOrderWithTheirDescriptions) {
    Registered r;
    const QStringList expected = QStringLiteral(
                                     "bmp ico wmf emf jfif jpg jpe jpeg rle dib win vst vda tga "
                                     "icb tiff tif fax eps pcx pcc scr rpf rla sgi rgba rgb bw "
                                     "psd pdd ppm pgm pbm cel pic pcd cut psp png")
                                     .split(u' ');
    QStringList registered;
    for (const auto& entry : r.list.extensions()) {
        registered.append(entry.extension);
    }
    EXPECT_EQ(registered, expected);
    // 3 codec entries, then one registry entry per registration.
    ASSERT_EQ(r.registry.types().size(), 3u + 39u);
    EXPECT_EQ(r.registry.types()[3].extension, "bmp");
    EXPECT_EQ(r.registry.types().back().extension, "png");

    for (const char* truevision : {"tga", "vst", "vda", "win", "icb"}) {
        EXPECT_EQ(descriptionOf(r.registry, truevision), "Truevision images") << truevision;
    }
    EXPECT_EQ(descriptionOf(r.registry, "dib"), "Device independant Windows bitmaps");
    EXPECT_EQ(descriptionOf(r.registry, "emf"), "Windows enhanced meta files");
    EXPECT_EQ(descriptionOf(r.registry, "JPG"), "JPG images");  // the list's entry wins
    EXPECT_EQ(descriptionOf(r.registry, "gif"), "GIF Image");
    EXPECT_EQ(descriptionOf(r.registry, "rgba"), "SGI true color images with alpha");
    EXPECT_EQ(descriptionOf(r.registry, "png"), "Portable network graphic images");

    // Class entries: common descriptions and how many extensions link to each.
    const auto& classes = r.list.classes();
    const auto& targa = classes[static_cast<size_t>(r.list.FindClass(formats::kTargaReader))];
    EXPECT_EQ(targa.description, "Truevision images");
    EXPECT_EQ(targa.count, 5);
    const auto& sgi = classes[static_cast<size_t>(r.list.FindClass(formats::kSgiReader))];
    EXPECT_EQ(sgi.description, "SGI images");
    EXPECT_EQ(sgi.count, 4);
    const auto& bitmap = classes[static_cast<size_t>(r.list.FindClass(formats::kBitmapReader))];
    EXPECT_EQ(bitmap.count, 3);  // bmp, rle, dib
    EXPECT_EQ(r.list.extensions()[static_cast<size_t>(r.list.FindExtension("psp"))].kinds, 24);
    EXPECT_EQ(r.list.extensions()[static_cast<size_t>(r.list.FindExtension("jpg"))].description,
              "JPG images");
}

TEST(FormatList, RefusesASecondRegistrationUnlessReplacing) {
    Registered r;
    try {
        r.list.Register("PNG", "", "Other", 8, false, formats::kBitmapReader);
        FAIL() << "registered twice";
    } catch (const formats::FormatError& error) {
        EXPECT_STREQ(error.what(), "Attempt to register PNG twice.");
    }
    EXPECT_EQ(r.list.extensions().size(), 39u);

    r.list.Register("", "x", "x", 8, false, formats::kBitmapReader);  // ignored
    EXPECT_EQ(r.list.extensions().size(), 39u);

    // Replacing relinks the extension; the class it left goes when nothing links to it.
    r.list.Register("png", "", "Now a bitmap", 8, true, formats::kBitmapReader);
    EXPECT_EQ(r.list.FindClass(formats::kPngReader), -1);
    EXPECT_EQ(r.registry.find("png")->reader, &formats::kBitmapReader);
    EXPECT_EQ(descriptionOf(r.registry, "png"), "Now a bitmap");
    EXPECT_EQ(r.registry.types().size(), 42u);  // the old entry is not kept behind the new one

    // An empty individual description takes the class's common one.
    r.list.Register("xyz", "Targa again", "", 8, false, formats::kTargaReader);
    EXPECT_EQ(descriptionOf(r.registry, "xyz"), "Targa again");
}

TEST(FormatList, FindsAndUnregistersExtensionsAndClasses) {
    Registered r;
    EXPECT_EQ(r.list.FindExtension("TIF"), 16);
    EXPECT_EQ(r.list.FindExtension("gif"), -1);  // the codec's, not the list's
    EXPECT_EQ(r.list.FindClass(formats::kGifReader), -1);
    EXPECT_GE(r.list.FindClass(formats::kTiffReader), 0);

    r.list.Unregister(QStringLiteral("TGA"));
    EXPECT_EQ(r.list.FindExtension("tga"), -1);
    EXPECT_EQ(r.registry.find("tga"), nullptr);
    EXPECT_NE(r.registry.find("win"), nullptr);
    r.list.Unregister(QStringLiteral("tga"));  // unknown now: nothing happens
    EXPECT_EQ(r.list.extensions().size(), 38u);

    r.list.Unregister(formats::kSgiReader);
    EXPECT_EQ(r.list.FindClass(formats::kSgiReader), -1);
    for (const char* sgi : {"sgi", "rgba", "rgb", "bw"}) {
        EXPECT_EQ(r.list.FindExtension(sgi), -1) << sgi;
        EXPECT_EQ(r.registry.find(sgi), nullptr) << sgi;
    }
    EXPECT_EQ(r.list.extensions().size(), 34u);

    // The last extension of a class takes the class with it.
    r.list.Unregister(QStringLiteral("eps"));
    EXPECT_EQ(r.list.FindClass(formats::kEpsReader), -1);

    r.list.Clear();
    EXPECT_TRUE(r.list.extensions().empty());
    EXPECT_TRUE(r.list.classes().empty());
    ASSERT_EQ(r.registry.types().size(), 3u);  // the codecs' own entries stay
    EXPECT_EQ(descriptionOf(r.registry, "jpg"), "JPEG Image File");
}

TEST(OpenDialogFilter, ListsEveryTypeOncePerDescription) {
    Registered r;
    const QStringList entries = r.registry.openDialogFilter().split(QStringLiteral(";;"));
    ASSERT_FALSE(entries.isEmpty());
    EXPECT_TRUE(entries[0].startsWith("All pictures (*.jpeg *.jpg *.gif *.bmp *.ico *.wmf"));
    EXPECT_EQ(entries[0].count(QStringLiteral("*.jpg")), 1);
    EXPECT_TRUE(entries[0].endsWith("*.psp *.png)"));
    EXPECT_EQ(entries[1], "JPEG Image File (*.jpeg *.jpg)");
    EXPECT_EQ(entries[2], "GIF Image (*.gif)");
    EXPECT_TRUE(entries.contains("Truevision images (*.win *.vst *.vda *.tga *.icb)"));
    EXPECT_TRUE(entries.contains("Windows metafiles (*.wmf)"));
    EXPECT_TRUE(entries.contains("Device independant Windows bitmaps (*.dib)"));
    EXPECT_TRUE(entries.contains("ZSoft Paintbrush images (*.pcx *.pcc)"));
    EXPECT_TRUE(entries.contains("Autodesk images (*.cel *.pic)"));
    EXPECT_EQ(entries.size(), 1 + 2 + 30);  // all, the codecs' two, 30 descriptions of the list
}

TEST(GlobalRegistry, StartUpAndShutDownAndReadingByExtension) {
    formats::registerPictureFormats();
    formats::registerPictureFormats();  // a second call changes nothing
    ASSERT_NE(formats::fileFormatList(), nullptr);
    EXPECT_EQ(formats::fileFormatList()->extensions().size(), 39u);
    const QString filter = formats::openDialogFilter();
    EXPECT_TRUE(filter.startsWith("All pictures (*.bmp *.ico *.wmf *.emf *.jpeg *.jpg *.gif"));
    EXPECT_TRUE(filter.contains(";;Bitmaps (*.bmp);;"));
    // Today's photograph formats come after the 39 registrations, in the same filter.
    EXPECT_TRUE(
        filter.endsWith(";;Portable network graphic images (*.png);;WebP images (*.webp);;"
                        "HEIF images (*.heic *.heif);;AVIF images (*.avif);;"
                        "JPEG XL images (*.jxl)"))
        << filter.toStdString();
    EXPECT_TRUE(filter.section(";;", 0, 0).endsWith("*.png *.webp *.heic *.heif *.avif *.jxl)"));

    const QImage picture = formats_test::makeTestPicture(6, 4);
    const QByteArray bmp = formats::encodeBmp24(picture);
    EXPECT_EQ(formats::readByExtension(bmp, ".DIB"), picture);
    EXPECT_EQ(formats::readByExtension(bmp, "rle"), picture);
    try {
        formats::readByExtension(bmp, "xyz");
        FAIL() << "read an unknown type";
    } catch (const formats::FormatError& error) {
        EXPECT_STREQ(error.what(),
                     "Cannot load image. .xyz files are not a picture type Mugwarp knows.");
    }
    EXPECT_THROW(formats::readByExtension(bmp, "png"), formats::FormatError);

    formats::unregisterPictureFormats();
    EXPECT_EQ(formats::fileFormatList(), nullptr);
    EXPECT_EQ(formats::pictureTypeRegistry().find("dib"), nullptr);
    EXPECT_EQ(formats::pictureTypeRegistry().find("jpg"), nullptr);
    ASSERT_EQ(formats::pictureTypeRegistry().types().size(), 4u);  // the platform's own
    EXPECT_EQ(formats::readByExtension(bmp, "BMP"), picture);
}

}  // namespace

// The loader's rows go by the name's last four characters, whatever their case; every other
// name goes to the registered reader of its extension.
TEST(LoaderRows, ChooseByTheLastFourCharacters) {
    using formats::LoaderRow;
    const struct {
        const char* name;
        LoaderRow row;
    } cases[] = {
        {"a.bmp", LoaderRow::Bitmap},     {"A.ICO", LoaderRow::Icon},
        {"b.jpg", LoaderRow::Jpeg},       {"photo.JPEG", LoaderRow::Jpeg},
        {"photojpeg", LoaderRow::Jpeg},   {"c.Gif", LoaderRow::Gif},
        {"d.wmf", LoaderRow::Metafile},   {"e.emf", LoaderRow::Metafile},
        {"f.png", LoaderRow::Registered}, {"g.dib", LoaderRow::Registered},
        {"bmp", LoaderRow::Registered},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formats::loaderRowOf(c.name), c.row) << c.name;
    }
    // An extension no reader is registered for is refused.
    EXPECT_THROW(formats::readByLoaderRow(LoaderRow::Registered, QByteArray("x"), "x.nope"),
                 std::exception);
}
