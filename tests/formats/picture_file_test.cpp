// Choosing readers and writers, reading files and writing them safely.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <functional>

#include "formats/bmp_codec.h"
#include "formats/format_error.h"
#include "formats/jpeg_codec.h"
#include "formats/picture_file.h"
#include "test_pictures.h"

namespace {

using formats_test::messageOf;
QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(PictureFile, ReaderIsChosenByContentNotByName) {
    const QImage picture = formats_test::makeTestPicture(9, 7);
    const QImage fromBmp = formats::decodePicture(formats::encodeBmp24(picture), "x.jpg");
    EXPECT_EQ(fromBmp, picture);
    const QImage fromJpeg = formats::decodePicture(formats::encodeJpeg(picture), "x.bmp");
    EXPECT_EQ(fromJpeg.size(), picture.size());
    EXPECT_EQ(fromJpeg.format(), QImage::Format_BGR888);

    for (const QByteArray& other : {QByteArray("RIFF\x01\x00", 6), QByteArray(), QByteArray("B"),
                                    QByteArray("\xFF\xD8", 2)}) {
        EXPECT_EQ(messageOf([&] { formats::decodePicture(other, "holiday.gif"); }),
                  "holiday.gif is not a picture type Mugwarp can read.");
    }
}

TEST(PictureFile, ReadingNamesTheFileThatFailed) {
    QTemporaryDir folder;
    const QString missing = folder.filePath("missing.bmp");
    EXPECT_NE(messageOf([&] { formats::readPictureFile(missing); }).find(missing.toStdString()),
              std::string::npos);
    EXPECT_NE(messageOf([&] { formats::readPictureFile(folder.path()); }).find("is a folder"),
              std::string::npos);

    const QString saved = folder.filePath("saved.jpeg");
    const QImage picture = formats_test::makeTestPicture(12, 10);
    formats::writeFileAtomically(saved, formats::encodeForFileName(picture, saved));
    EXPECT_EQ(formats::readPictureFile(saved).size(), picture.size());
}

TEST(PictureFile, WriterIsChosenByExtension) {
    const QImage picture = formats_test::makeTestPicture(5, 4);
    EXPECT_EQ(formats::encodeForFileName(picture, "/tmp/a.BMP"), formats::encodeBmp24(picture));
    EXPECT_EQ(formats::encodeForFileName(picture, "a.Jpg"), formats::encodeJpeg(picture));
    EXPECT_EQ(formats::encodeForFileName(picture, "dir.bmp/a.jpeg"), formats::encodeJpeg(picture));
    for (const char* name : {"a.tga", "a", "bmp", "a.gif.tiff"}) {
        EXPECT_FALSE(formats::isWritableFileName(name)) << name;
        EXPECT_THROW(formats::encodeForFileName(picture, name), formats::FormatError) << name;
    }
    EXPECT_TRUE(formats::isWritableFileName("C.JPEG"));
    EXPECT_TRUE(formats::isWritableFileName("a.gif.PNG"));
}

TEST(PictureFile, AtomicWriteReplacesOnlyWhenComplete) {
    QTemporaryDir folder;
    const QString target = folder.filePath("picture.bmp");
    formats::writeFileAtomically(target, "old contents");
    formats::writeFileAtomically(target, "new contents");
    EXPECT_EQ(contentsOf(target), "new contents");

    // A parent that is a regular file: nothing can be created there.
    const QString impossible = target + "/inside.bmp";
    EXPECT_NE(messageOf([&] {
                  formats::writeFileAtomically(impossible, "data");
              }).find(impossible.toStdString()),
              std::string::npos);
    EXPECT_FALSE(QFile::exists(impossible));

    // A write that fails half-way (the file size limit holds for root too) leaves the old
    // file as it was and no temporary file behind.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string message =
        messageOf([&] { formats::writeFileAtomically(target, QByteArray(100000, 'x')); });
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_NE(message.find("Cannot write"), std::string::npos) << message;
    EXPECT_EQ(contentsOf(target), "new contents");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"picture.bmp"});
}

}  // namespace
