#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/folder_removal.h"

namespace {

void writeFile(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("frame");
}

}  // namespace

TEST(DeleteFolder, RemovesNestedAndProtectedEntries) {
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString folder = scratch.path() + "/recorder/";
    ASSERT_TRUE(QDir().mkpath(folder + "inner/deeper"));
    writeFile(folder + "example1.jpg");
    writeFile(folder + "inner/deeper/locked.jpg");
    writeFile(folder + ".hidden");
    QFile::setPermissions(folder + "example1.jpg", QFile::ReadOwner);
    QFile::setPermissions(folder + "inner/deeper/locked.jpg", QFile::ReadOwner);
    // A read-only folder would keep its entries for an ordinary user.
    QFile::setPermissions(folder + "inner/deeper", QFile::ReadOwner | QFile::ExeOwner);

    EXPECT_TRUE(platform::DeleteFolder(folder));
    EXPECT_FALSE(QDir(folder).exists());
    EXPECT_TRUE(QDir(scratch.path()).exists());
}

TEST(DeleteFolder, ReportsAMissingFolder) {
    QTemporaryDir scratch;
    EXPECT_FALSE(platform::DeleteFolder(scratch.path() + "/absent"));
}

// Links inside the folder go as links: the files they point to, and their permissions, stay.
TEST(DeleteFolder, RemovesLinksWithoutFollowingThem) {
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString outside = scratch.path() + "/outside/";
    ASSERT_TRUE(QDir().mkpath(outside + "inner"));
    writeFile(outside + "keep.jpg");
    writeFile(outside + "inner/keep-too.jpg");
    const QFile::Permissions fileMode = QFile::ReadOwner;
    const QFile::Permissions folderMode = QFile::ReadOwner | QFile::ExeOwner;
    QFile::setPermissions(outside + "keep.jpg", fileMode);
    QFile::setPermissions(outside + "inner", folderMode);

    const QString folder = scratch.path() + "/recorder/";
    ASSERT_TRUE(QDir().mkpath(folder + "nested"));
    writeFile(folder + "example1.jpg");
    ASSERT_TRUE(QFile::link(outside, folder + "to-folder"));
    ASSERT_TRUE(QFile::link(outside + "inner", folder + "nested/to-inner"));
    ASSERT_TRUE(QFile::link(outside + "keep.jpg", folder + "to-file"));
    ASSERT_TRUE(QFile::link(scratch.path() + "/nowhere", folder + "dangling"));

    EXPECT_TRUE(platform::DeleteFolder(folder));
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(QFile::exists(outside + "keep.jpg"));
    EXPECT_TRUE(QFile::exists(outside + "inner/keep-too.jpg"));
    EXPECT_EQ(QFile::permissions(outside + "keep.jpg") & 0x7000, fileMode);
    EXPECT_EQ(QFile::permissions(outside + "inner") & 0x7000, folderMode);
    QFile::setPermissions(outside + "inner", QFile::ReadOwner | QFile::WriteOwner |
                                                 QFile::ExeOwner);  // lets the scratch go

    // A link handed over as the folder itself goes as a link too.
    ASSERT_TRUE(QFile::link(outside, scratch.path() + "/linked"));
    EXPECT_TRUE(platform::DeleteFolder(scratch.path() + "/linked/"));
    EXPECT_FALSE(QFileInfo(scratch.path() + "/linked").isSymLink());
    EXPECT_TRUE(QFile::exists(outside + "keep.jpg"));
}
