// Work that survives a crash: the recovery copy after each step, the offer at the next start of
// what an ended Mugwarp left, and a clean exit that leaves no copy.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include "app/ended_folders.h"
#include "app/error_box.h"
#include "app/main_window.h"
#include "app/program_folders.h"
#include "app/recovery_copy.h"
#include "app/shared_state.h"
#include "formats/picture_file.h"
#include "tests/gui/gui_test_support.h"
#include "workarea/work_area.h"

namespace {

using namespace std::chrono_literals;

const QString kQuestion = "Mugwarp ended unexpectedly. Open the picture you were working on?";

void writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(data);
}

// A recorder folder as a program killed while recording leaves it: two frames, the copy of
// its picture (when it had one) and the lock of a process that no longer runs.
void leaveFolder(const QString& folder, const QString& baseName, const QImage& picture) {
    writeFile(folder + baseName + "1.jpg", "frame");
    writeFile(folder + baseName + "2.jpg", "frame");
    if (!picture.isNull()) {
        const QString copy = folder + "recovery/" + baseName + ".bmp";
        writeFile(copy, formats::encodeForFileName(picture, copy));
    }
    writeFile(recorderLockFile(folder), "999999999\n" +
                                            QCoreApplication::applicationName().toUtf8() + "\n" +
                                            QSysInfo::machineHostName().toUtf8() + "\n");
}

QImage copyOnDisk() {
    return formats::readPictureFile(Form1->recoveryCopy()->copyFile());
}

// A step that changes pixel (0, 0), recorded as the tools record theirs.
QImage makeStep(int step) {
    QImage picture = Work_area->picture().copy();
    picture.scanLine(0)[0] = static_cast<uchar>(step);
    Work_area->setPicture(picture);
    Form1->backup();
    return picture;
}

}  // namespace

TEST(WorkRecovery, CopiesAfterStepsAreOfferedAtTheNextStartAndGoAtACleanExit) {
    // The user's cache folder is the test's own.
    QTemporaryDir cacheHome;
    ASSERT_TRUE(cacheHome.isValid());
    qputenv("XDG_CACHE_HOME", cacheHome.path().toUtf8());
    const QString cache = userCacheFolder();
    ASSERT_TRUE(cache.startsWith(cacheHome.path()));

    // What an earlier run left: the folder beside the program with the copy of "face", a
    // cache folder with frames only, and the folder of a Mugwarp still running.
    const QString left = QCoreApplication::applicationDirPath() + "/recorder/";
    QDir(left).removeRecursively();
    const QImage leftPicture = patternPicture(90, 70);
    leaveFolder(left, "face", leftPicture);
    const QString framesOnly = cache + "/recorder-77/";
    leaveFolder(framesOnly, "old", QImage());
    const QString running = cache + "/recorder-4242/";
    leaveFolder(running, "busy", patternPicture(20, 10));
    QFile::remove(recorderLockFile(running));
    QLockFile runningLock(recorderLockFile(running));
    ASSERT_TRUE(runningLock.tryLock(0));
    const auto runningFiles = [&] {
        return QDir(running).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot) +
               QDir(running + "recovery").entryList(QDir::Files);
    };
    const QStringList runningBefore = runningFiles();

    QStringList questions;
    QStringList errors;
    setQuestionSink([&](const QString& text) {
        questions << text;
        return true;
    });
    setErrorBoxSink([&](const QString& text) { errors << text; });

    // The start: frames without a copy go at once; the folder with a copy waits for the answer,
    // held, so this program records elsewhere.
    ensureWindowsShown();
    EXPECT_FALSE(QDir(framesOnly).exists());
    EXPECT_FALSE(QFile::exists(recorderLockFile(framesOnly)));
    EXPECT_TRUE(QDir(left).exists());
    EXPECT_NE(RecorderFolder, left);
    ASSERT_NE(Form1->recoveryCopy(), nullptr);
    // No copy of the example as it starts.
    EXPECT_TRUE(Form1->recoveryCopy()->waitUntilWritten(0ms));
    EXPECT_TRUE(Form1->recoveryCopy()->copyFile().isEmpty());
    Form1->recoveryCopy()->setInterval(0ms);

    // Yes opens the copy with its name; the folder and its lock are gone, the running one's
    // stays as it was, and the question is asked once.
    EXPECT_TRUE(Form1->offerLeftWork());
    EXPECT_EQ(questions, QStringList{kQuestion});
    EXPECT_EQ(Work_area->picture(), leftPicture);
    EXPECT_EQ(PictureBaseName, "face");
    EXPECT_FALSE(QDir(left).exists());
    EXPECT_FALSE(QFile::exists(recorderLockFile(left)));
    EXPECT_EQ(runningFiles(), runningBefore);
    EXPECT_FALSE(Form1->offerLeftWork());
    EXPECT_EQ(questions.size(), 1);

    // The picture reopened is kept at once, under its name, bit for bit.
    ASSERT_TRUE(Form1->recoveryCopy()->waitUntilWritten(30s));
    EXPECT_EQ(Form1->recoveryCopy()->copyFile(), RecorderFolder + "recovery/face.bmp");
    EXPECT_EQ(copyOnDisk(), leftPicture);

    // A step is kept; a second one within the interval waits for it, then is written too.
    Form1->recoveryCopy()->setInterval(1500ms);
    const QImage step1 = makeStep(1);
    ASSERT_TRUE(Form1->recoveryCopy()->waitUntilWritten(30s));
    EXPECT_EQ(copyOnDisk(), step1);
    const QImage step2 = makeStep(2);
    QTest::qWait(500);
    EXPECT_EQ(copyOnDisk(), step1);
    ASSERT_TRUE(Form1->recoveryCopy()->waitUntilWritten(30s));
    EXPECT_EQ(copyOnDisk(), step2);
    Form1->recoveryCopy()->setInterval(0ms);
    Form1->Undo1Click();
    ASSERT_TRUE(Form1->recoveryCopy()->waitUntilWritten(30s));
    EXPECT_EQ(copyOnDisk(), step1);

    // Another picture opened: its copy takes the place of the earlier one's.
    QTemporaryDir pictures;
    const QImage cat = patternPicture(40, 30);
    const QString catFile = pictures.filePath("cat.bmp");
    writeFile(catFile, formats::encodeForFileName(cat, catFile));
    ASSERT_TRUE(Form1->openPictureFile(catFile));
    ASSERT_TRUE(Form1->recoveryCopy()->waitUntilWritten(30s));
    EXPECT_EQ(QDir(RecorderFolder + "recovery").entryList(QDir::Files | QDir::Hidden),
              QStringList{"cat.bmp"});
    EXPECT_EQ(copyOnDisk(), cat);

    // No keeps the picture on screen, and the folder goes all the same.
    QTemporaryDir otherProgram;
    QTemporaryDir otherCache;
    const QString other = otherProgram.path() + "/recorder/";
    leaveFolder(other, "dog", patternPicture(30, 30));
    EndedFolders otherLeft = EndedFolders::take(otherProgram.path(), otherCache.path());
    ASSERT_EQ(otherLeft.newestRecoveryCopy(), other + "recovery/dog.bmp");
    setQuestionSink([&](const QString& text) {
        questions << text;
        return false;
    });
    EXPECT_FALSE(Form1->offerLeftWork(otherLeft));
    EXPECT_EQ(questions, (QStringList{kQuestion, kQuestion}));
    EXPECT_EQ(Work_area->picture(), cat);
    EXPECT_EQ(PictureBaseName, "cat");
    EXPECT_FALSE(QDir(other).exists());
    EXPECT_FALSE(QFile::exists(recorderLockFile(other)));

    // A clean exit leaves no copy, and no folder of this program.
    const QString copy = Form1->recoveryCopy()->copyFile();
    const QString ownFolder = RecorderFolder;
    ASSERT_TRUE(QFile::exists(copy));
    Form1->close();
    EXPECT_EQ(Form1->recoveryCopy(), nullptr);
    EXPECT_FALSE(QFile::exists(copy));
    EXPECT_FALSE(QDir(ownFolder).exists());
    EXPECT_EQ(runningFiles(), runningBefore);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();

    setQuestionSink({});
    setErrorBoxSink({});
}
