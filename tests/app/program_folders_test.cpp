// Where the recorder keeps its frames: beside the program when it can, never shared.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>

#include "app/program_folders.h"

namespace {

void writeFile(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("frame");
}

}  // namespace

TEST(RecorderFolder, BesideTheProgramWhenItCanBeWritten) {
    QTemporaryDir program;
    QTemporaryDir cache;
    RecorderFolderClaim claim(program.path(), cache.path());
    EXPECT_EQ(claim.folder(), program.path() + "/recorder/");
    EXPECT_TRUE(QDir(claim.folder()).exists());
    writeFile(claim.folder() + "example1.jpg");
    claim.releaseAndRemove();
    EXPECT_FALSE(QDir(program.path() + "/recorder").exists());
    EXPECT_FALSE(QFile::exists(program.path() + "/recorder.lock"));
}

TEST(RecorderFolder, AnUnwritableProgramFolderFallsBackToTheCache) {
    QTemporaryDir program;
    QTemporaryDir cache;
    // A file where the recorder folder would go: the folder cannot be made there, as in a
    // program folder the user may not write to.
    const QString blocked = program.filePath("blocked");
    writeFile(blocked);
    RecorderFolderClaim claim(blocked, cache.path());
    EXPECT_TRUE(claim.folder().startsWith(cache.path() + "/recorder-"))
        << claim.folder().toStdString();
    EXPECT_TRUE(QDir(claim.folder()).exists());
    claim.releaseAndRemove();
    EXPECT_FALSE(QDir(claim.folder()).exists());

    EXPECT_THROW(RecorderFolderClaim(blocked, blocked), std::runtime_error);
}

TEST(RecorderFolder, TwoProgramsNeverShareAFolder) {
    QTemporaryDir program;
    QTemporaryDir cache;
    RecorderFolderClaim first(program.path(), cache.path());
    RecorderFolderClaim second(program.path(), cache.path());
    EXPECT_NE(first.folder(), second.folder());
    EXPECT_EQ(first.folder(), program.path() + "/recorder/");
    writeFile(first.folder() + "example1.jpg");
    writeFile(second.folder() + "example1.jpg");
    // Closing the second leaves the first's frames.
    second.releaseAndRemove();
    EXPECT_TRUE(QFile::exists(first.folder() + "example1.jpg"));
    EXPECT_FALSE(QDir(second.folder()).exists());
    first.releaseAndRemove();
    // Once the first is gone, its folder is free again.
    RecorderFolderClaim third(program.path(), cache.path());
    EXPECT_EQ(third.folder(), program.path() + "/recorder/");
    third.releaseAndRemove();
}

TEST(RecorderFolder, AFolderLeftByAnEndedProgramIsTakenOver) {
    QTemporaryDir program;
    QTemporaryDir cache;
    const QString folder = program.path() + "/recorder/";
    QDir().mkpath(folder);
    // The lock of a process that no longer runs.
    QFile lock(program.path() + "/recorder.lock");
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write("999999999\n" + QCoreApplication::applicationName().toUtf8() + "\n" +
               QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();
    RecorderFolderClaim claim(program.path(), cache.path());
    EXPECT_EQ(claim.folder(), folder);
    claim.releaseAndRemove();
}
