// Start-up, shortcuts and close of the main window, driven as a user would.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include "app/about_box.h"
#include "app/image_size_dialog.h"
#include "app/main_window.h"
#include "app/shared_state.h"
#include "formats/jpeg_codec.h"
#include "tests/gui/gui_test_support.h"
#include "tools/tool_palette.h"
#include "workarea/picture_control.h"
#include "workarea/work_area.h"

namespace {

QStringList recorderFiles() {
    return QDir(RecorderFolder)
        .entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
}

void sendWheel(QWidget* target, int deltaY) {
    const QPoint at(20, 20);
    QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, deltaY), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &wheel);
}

}  // namespace

TEST(MainWindow, StartsWithTheExamplePictureAndOneFrame) {
    ensureWindowsShown();
    EXPECT_EQ(Form1->windowTitle(), "Mugwarp v3.51");
    EXPECT_EQ(Form1->Label1->text(), "100%");
    EXPECT_EQ(ZoomPercent, 100.0);
    EXPECT_FALSE(Form1->SpeedButton5->isEnabled());
    EXPECT_FALSE(Form1->Undo1->isEnabled());
    EXPECT_FALSE(Form1->SpeedButton10->isEnabled());
    EXPECT_FALSE(Form1->Redo1->isEnabled());
    EXPECT_FALSE(Form1->SpeedButton11->isEnabled());
    EXPECT_FALSE(Form1->Action6->isEnabled());
    EXPECT_EQ(DistortMode, 1);
    EXPECT_EQ(DistortKind, 1);
    EXPECT_EQ(CurrentFrame, 1);
    EXPECT_EQ(PictureBaseName, "example");

    // The picture window is the frame's only child and shows the example at 100 %.
    ASSERT_EQ(Form1->MdiArea->subWindowList().size(), 1);
    EXPECT_EQ(Form1->MdiArea->subWindowList().front(), Work_area);
    EXPECT_EQ(Work_area->size(), QSize(615, 504));
    const QImage& picture = Work_area->picture();
    EXPECT_EQ(picture.size(), QSize(605, 469));
    EXPECT_EQ(picture.format(), QImage::Format_BGR888);
    EXPECT_EQ(Work_area->Image1->size(), QSize(605, 469));
    EXPECT_TRUE(Tools->isVisible());
    EXPECT_FALSE(About_us->isVisible());
    EXPECT_FALSE(Image_Size->isVisible());

    // Frame 1 is the example picture as a JPEG, and nothing else is there.
    EXPECT_EQ(recorderFiles(), QStringList{"example1.jpg"});
    QFile frame(RecorderFolder + "example1.jpg");
    ASSERT_TRUE(frame.open(QIODevice::ReadOnly));
    const QImage decoded = formats::decodeJpeg(frame.readAll());
    EXPECT_EQ(decoded.size(), QSize(605, 469));
    // JPEG at quality 90 stays close to the original.
    const QColor original = picture.pixelColor(300, 200);
    const QColor stored = decoded.pixelColor(300, 200);
    EXPECT_NEAR(original.red(), stored.red(), 24);
    EXPECT_NEAR(original.green(), stored.green(), 24);
    EXPECT_NEAR(original.blue(), stored.blue(), 24);
}

TEST(MainWindow, F1AndEmptyUndoRedoChangeNothing) {
    ensureWindowsShown();
    Form1->activateWindow();
    const QImage before = Work_area->picture();
    const int frame = CurrentFrame;
    QTest::keyClick(Form1, Qt::Key_F1);
    QTest::keyClick(Form1, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(Form1, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(Work_area->picture(), before);
    EXPECT_EQ(CurrentFrame, frame);
    EXPECT_EQ(UndoCount, 0);
    EXPECT_EQ(RedoCount, 0);
    EXPECT_FALSE(Form1->SpeedButton5->isEnabled());
    EXPECT_FALSE(Form1->SpeedButton10->isEnabled());
    EXPECT_FALSE(About_us->isVisible());
    EXPECT_EQ(recorderFiles(), QStringList{"example1.jpg"});
}

TEST(MainWindow, ShortcutsReachTheirHandlersWhileButtonsAreDisabled) {
    loadTestPicture(patternPicture(200, 150));
    Form1->activateWindow();
    Form1->backup();               // a finished step, as a release on the picture stores
    Form1->setUndoEnabled(false);  // the shortcut does not depend on the button
    QTest::keyClick(Form1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(UndoCount, 0);
    EXPECT_EQ(RedoCount, 1);
    EXPECT_EQ(CurrentFrame, 1);
    EXPECT_TRUE(Form1->SpeedButton10->isEnabled());
    QTest::keyClick(Form1, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(UndoCount, 1);
    EXPECT_EQ(CurrentFrame, 2);
    // Ctrl+minus and Ctrl+= step the zoom out and in again.
    QTest::keyClick(Form1, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(Form1->Label1->text(), "80%");
    QTest::keyClick(Form1, Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(Form1->Label1->text(), "100%");
}

TEST(MainWindow, WheelZoomsOnlyOverThePicture) {
    loadTestPicture(patternPicture(605, 469));
    MouseOverPicture = 0;
    sendWheel(Work_area->Image1, 120);
    EXPECT_EQ(Form1->Label1->text(), "100%");
    MouseOverPicture = 1;
    sendWheel(Work_area->Image1, 120);  // away from the user: out
    EXPECT_EQ(Form1->Label1->text(), "80%");
    EXPECT_EQ(Work_area->Image1->size(), QSize(484, 375));
    sendWheel(Work_area->Image1, -120);  // towards the user: in
    EXPECT_EQ(Form1->Label1->text(), "100%");
    EXPECT_EQ(ZoomPercent, 100.0);
    MouseOverPicture = 0;
}

TEST(MainWindow, ZoomStepErasesTheSelectionButKeepsSelecting) {
    loadTestPicture(patternPicture(605, 469));
    SelectMode = 1;
    Work_area->BandRect = {10, 10, 50, 30};
    Form1->SpeedButton11->setEnabled(true);
    Form1->Action6->setEnabled(true);
    Form1->SpeedButton9Click();
    EXPECT_EQ(Form1->Label1->text(), "125%");
    EXPECT_EQ(Work_area->BandRect, IntQuad{});
    EXPECT_FALSE(Form1->SpeedButton11->isEnabled());
    EXPECT_TRUE(Form1->Action6->isEnabled());
    EXPECT_EQ(SelectMode, 1);
    SelectMode = 0;
    Form1->SpeedButton8Click();
    EXPECT_EQ(Form1->Label1->text(), "100%");
}

TEST(MainWindow, AboutBoxShowsWithoutBlocking) {
    ensureWindowsShown();
    Form1->About1->trigger();
    EXPECT_TRUE(About_us->isVisible());
    EXPECT_FALSE(About_us->isModal());
    EXPECT_EQ(About_us->windowTitle(), "About_us");
    EXPECT_TRUE(About_us->Memo1->toPlainText().startsWith(
        "Name: Mugwarp\n\nVersion: 3.51\n\nRelease time: 08/28/2007"));
    About_us->hide();
}

// Runs last: closing ends the program's windows.
TEST(MainWindow, ZCloseRemovesTheRecorderFolderWithProtectedFiles) {
    ensureWindowsShown();
    const QString folder = RecorderFolder;
    QDir(folder).mkpath("nested");
    QFile locked(folder + "nested/locked.jpg");
    ASSERT_TRUE(locked.open(QIODevice::WriteOnly));
    locked.write("x");
    locked.close();
    QFile::setPermissions(locked.fileName(), QFile::ReadOwner);
    QFile::setPermissions(folder + "example1.jpg", QFile::ReadOwner);
    Form1->close();
    EXPECT_FALSE(QDir(folder).exists());
}
