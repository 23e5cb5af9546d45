#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
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
